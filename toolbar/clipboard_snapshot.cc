#include "toolbar/clipboard_snapshot.h"

#include "platform/clipboard.h"

void CClipboardSnapshot::Take(IClipboard& clipboard) {
  m_aEntries.clear();
  m_bTaken = false;
  if (!clipboard.Open()) {
    return;
  }
  for (const std::uint32_t format : clipboard.Formats()) {
    Entry entry;
    entry.nFormat = format;
    // Bitmaps and metafiles are handles, not memory blocks; the system makes them again from
    // the device-independent bitmap that is kept.
    if (format != clipboard_format::kBitmap && format != clipboard_format::kEnhMetafile) {
      entry.nSize = clipboard.DataSize(format);
      if (entry.nSize > 0 && entry.nSize < kLargestBlock) {
        entry.bHasData = clipboard.GetData(format, &entry.aData);
      }
    }
    m_aEntries.push_back(std::move(entry));
  }
  clipboard.Close();
  m_bTaken = true;
}

void CClipboardSnapshot::Restore(IClipboard& clipboard) {
  if (!m_bTaken) {
    return;
  }
  if (clipboard.Open()) {
    clipboard.Empty();
    for (const Entry& entry : m_aEntries) {
      if (entry.bHasData) {
        clipboard.SetData(entry.nFormat, entry.aData);
      }
    }
    clipboard.Close();
  }
  m_aEntries.clear();
  m_bTaken = false;
}
