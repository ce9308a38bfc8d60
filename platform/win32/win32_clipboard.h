// The clipboard on user32: OpenClipboard(NULL), the formats as EnumClipboardFormats lists
// them, and each format's content as a copy of its global memory block. Formats whose data is
// a GDI object rather than a memory block (CF_BITMAP, CF_ENHMETAFILE) have no bytes here.
#pragma once

#include "platform/clipboard.h"

class CWin32Clipboard : public IClipboard {
 public:
  bool Open() override;
  void Close() override;
  bool Empty() override;
  std::vector<std::uint32_t> Formats() override;
  std::size_t DataSize(std::uint32_t format) override;
  bool GetData(std::uint32_t format, std::vector<std::uint8_t>* data) override;
  bool SetData(std::uint32_t format, const std::vector<std::uint8_t>& data) override;
  std::uint32_t RegisterFormat(const std::wstring& name) override;
  std::wstring FormatName(std::uint32_t format) override;

 private:
  bool m_bOpen = false;
};
