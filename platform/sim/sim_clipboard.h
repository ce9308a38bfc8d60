// The simulated system clipboard: byte blocks by format, registered format names numbered
// from 0xC000, and the open and close rules of the system's clipboard (one opener at a
// time; everything but registering and naming formats needs it open). The simulated Office
// uses it for PasteFace and CopyFace, opening it as another window would.
//
// Threading: Outlook's main thread, as the seam says; from another thread every call fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/clipboard.h"

class CSimFaults;
class CSimMessageLoop;

class CSimClipboard : public IClipboard {
 public:
  CSimClipboard(CSimMessageLoop& loop, CSimFaults& faults) : m_loop(loop), m_faults(faults) {}

  bool Open() override;
  void Close() override;
  bool Empty() override;
  std::vector<std::uint32_t> Formats() override;
  std::size_t DataSize(std::uint32_t format) override;
  bool GetData(std::uint32_t format, std::vector<std::uint8_t>* data) override;
  bool SetData(std::uint32_t format, const std::vector<std::uint8_t>& data) override;
  std::uint32_t RegisterFormat(const std::wstring& name) override;
  std::wstring FormatName(std::uint32_t format) override;

  // Another program opens the clipboard and keeps it open (true), or closes it (false).
  // Fails while the add-in holds it open.
  bool HoldByAnotherProgram(bool hold);

  // What Office does itself: open, act and close in one step; false when the clipboard is
  // held open by anybody.
  bool ReadAll(std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>* entries);
  bool ReplaceAll(const std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>& entries);

 private:
  enum class Holder { kNobody, kCaller, kOtherProgram };

  bool CallerHoldsIt() const;
  const std::vector<std::uint8_t>* Block(std::uint32_t format) const;

  CSimMessageLoop& m_loop;
  CSimFaults& m_faults;
  Holder m_holder = Holder::kNobody;
  std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> m_entries;  // in set order
  std::vector<std::wstring> m_aNames;                                          // format 0xC000 + i
};

// Puts everything on `from` onto `to` in place of what `to` held, registered formats by their
// names, as when the simulated Office reads a real system's clipboard or writes to it. Blocks
// without bytes (bitmap handles) are left out. False when either could not be opened, which
// leaves `to` as it was.
bool CopyClipboardContents(IClipboard& from, IClipboard& to);
