// What the user had on the clipboard, kept while the button picture's clipboard way borrows
// it and put back afterwards.
//
// Threading: UI thread only, like the clipboard.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class IClipboard;

class CClipboardSnapshot {
 public:
  // Blocks of this size or more are not copied (and not put back).
  static constexpr std::size_t kLargestBlock = 524288000;  // 500 MiB

  struct Entry {
    std::uint32_t nFormat = 0;
    std::size_t nSize = 0;
    bool bHasData = false;
    std::vector<std::uint8_t> aData;
  };

  // Copies every format's block. Bitmap and enhanced-metafile handles, empty blocks and
  // oversized ones are recorded without their data. A clipboard that cannot be opened takes
  // no snapshot, so that Restore leaves it alone rather than emptying it.
  void Take(IClipboard& clipboard);
  // When a snapshot was taken: empties the clipboard, puts back every entry that has data
  // and forgets the snapshot.
  void Restore(IClipboard& clipboard);

  bool IsTaken() const { return m_bTaken; }
  const std::vector<Entry>& Entries() const { return m_aEntries; }

 private:
  std::vector<Entry> m_aEntries;
  bool m_bTaken = false;
};
