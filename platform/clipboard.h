// Clipboard seam: the system clipboard as the Win32 clipboard functions see it, for the button
// picture's clipboard way (Office reads a button face only from the clipboard on older
// versions) and for putting back what the user had copied.
//
// Data is handled as byte blocks (the content of the global memory block of one format).
// Format numbers are the system's: 2 CF_BITMAP, 8 CF_DIB, 13 CF_UNICODETEXT, 14
// CF_ENHMETAFILE; registered formats are numbered from 0xC000 up.
//
// Threading: UI thread only. Every operation but RegisterFormat and FormatName needs the
// clipboard open (Open succeeded and Close not yet called) and fails otherwise. Errors:
// results; nothing throws except std::bad_alloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace clipboard_format {
inline constexpr std::uint32_t kBitmap = 2;
inline constexpr std::uint32_t kDib = 8;
inline constexpr std::uint32_t kUnicodeText = 13;
inline constexpr std::uint32_t kEnhMetafile = 14;
}  // namespace clipboard_format

class IClipboard {
 public:
  virtual ~IClipboard() = default;

  // OpenClipboard(NULL): false when another window holds it open.
  virtual bool Open() = 0;
  virtual void Close() = 0;
  // EmptyClipboard: removes every format.
  virtual bool Empty() = 0;

  // The formats on the clipboard, in the order EnumClipboardFormats gives them.
  virtual std::vector<std::uint32_t> Formats() = 0;
  // The size of a format's block without copying it (GlobalSize); 0 when it has none.
  virtual std::size_t DataSize(std::uint32_t format) = 0;
  // A copy of a format's block; false when the format is absent or has no block.
  virtual bool GetData(std::uint32_t format, std::vector<std::uint8_t>* data) = 0;
  // Puts a block under `format`, replacing what was there. false when refused.
  virtual bool SetData(std::uint32_t format, const std::vector<std::uint8_t>& data) = 0;

  // RegisterClipboardFormatW: the same number for the same name (case-insensitive); 0 on
  // failure.
  virtual std::uint32_t RegisterFormat(const std::wstring& name) = 0;
  // GetClipboardFormatNameW: the registered name, empty for a predefined format.
  virtual std::wstring FormatName(std::uint32_t format) = 0;
};
