#include "platform/win32/win32_clipboard.h"

#include <windows.h>

#include <cstring>

namespace {

bool IsMemoryFormat(std::uint32_t format) {
  return format != CF_BITMAP && format != CF_ENHMETAFILE && format != CF_PALETTE &&
         format != CF_METAFILEPICT && format != CF_DSPBITMAP && format != CF_DSPENHMETAFILE;
}

// The block under `format`, or null when there is none that is memory.
HGLOBAL MemoryOf(std::uint32_t format) {
  if (!IsMemoryFormat(format)) {
    return nullptr;
  }
  return static_cast<HGLOBAL>(GetClipboardData(format));
}

}  // namespace

bool CWin32Clipboard::Open() {
  m_bOpen = m_bOpen || OpenClipboard(nullptr) != FALSE;
  return m_bOpen;
}

void CWin32Clipboard::Close() {
  if (m_bOpen) {
    CloseClipboard();
    m_bOpen = false;
  }
}

bool CWin32Clipboard::Empty() {
  return m_bOpen && EmptyClipboard() != FALSE;
}

std::vector<std::uint32_t> CWin32Clipboard::Formats() {
  std::vector<std::uint32_t> formats;
  if (!m_bOpen) {
    return formats;
  }
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    formats.push_back(format);
  }
  return formats;
}

std::size_t CWin32Clipboard::DataSize(std::uint32_t format) {
  const HGLOBAL memory = m_bOpen ? MemoryOf(format) : nullptr;
  return memory != nullptr ? GlobalSize(memory) : 0;
}

bool CWin32Clipboard::GetData(std::uint32_t format, std::vector<std::uint8_t>* data) {
  data->clear();
  const HGLOBAL memory = m_bOpen ? MemoryOf(format) : nullptr;
  if (memory == nullptr) {
    return false;
  }
  const SIZE_T size = GlobalSize(memory);
  const void* bytes = GlobalLock(memory);
  if (bytes == nullptr) {
    return false;
  }
  data->assign(static_cast<const std::uint8_t*>(bytes),
               static_cast<const std::uint8_t*>(bytes) + size);
  GlobalUnlock(memory);
  return true;
}

bool CWin32Clipboard::SetData(std::uint32_t format, const std::vector<std::uint8_t>& data) {
  if (!m_bOpen || !IsMemoryFormat(format)) {
    return false;
  }
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, data.empty() ? 1 : data.size());
  if (memory == nullptr) {
    return false;
  }
  if (void* bytes = GlobalLock(memory)) {
    if (!data.empty()) {
      std::memcpy(bytes, data.data(), data.size());
    }
    GlobalUnlock(memory);
  }
  // The clipboard owns the block once it takes it; a refused block stays ours to free.
  if (SetClipboardData(format, memory) == nullptr) {
    GlobalFree(memory);
    return false;
  }
  return true;
}

std::uint32_t CWin32Clipboard::RegisterFormat(const std::wstring& name) {
  return RegisterClipboardFormatW(name.c_str());
}

std::wstring CWin32Clipboard::FormatName(std::uint32_t format) {
  wchar_t name[256] = {};
  const int length = GetClipboardFormatNameW(format, name, 256);
  return length > 0 ? std::wstring(name, static_cast<std::size_t>(length)) : std::wstring();
}
