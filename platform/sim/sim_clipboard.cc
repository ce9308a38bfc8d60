#include "platform/sim/sim_clipboard.h"

#include <algorithm>
#include <cwctype>

#include "platform/sim/sim_faults.h"
#include "platform/sim/sim_message_loop.h"

namespace {

constexpr std::uint32_t kFirstRegisteredFormat = 0xC000;
constexpr std::uint32_t kLastRegisteredFormat = 0xFFFF;

bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return std::towlower(static_cast<std::wint_t>(x)) ==
                  std::towlower(static_cast<std::wint_t>(y));
         });
}

}  // namespace

bool CSimClipboard::CallerHoldsIt() const {
  return m_loop.IsLoopThread() && m_holder == Holder::kCaller;
}

const std::vector<std::uint8_t>* CSimClipboard::Block(std::uint32_t format) const {
  for (const auto& [number, data] : m_entries) {
    if (number == format) {
      return &data;
    }
  }
  return nullptr;
}

bool CSimClipboard::Open() {
  if (!m_loop.IsLoopThread() || FAILED(m_faults.OnCall("OpenClipboard"))) {
    return false;
  }
  // The system refuses a second open as well as someone else's.
  if (m_holder != Holder::kNobody) {
    return false;
  }
  m_holder = Holder::kCaller;
  return true;
}

void CSimClipboard::Close() {
  if (CallerHoldsIt()) {
    m_holder = Holder::kNobody;
  }
}

bool CSimClipboard::Empty() {
  if (!CallerHoldsIt() || FAILED(m_faults.OnCall("EmptyClipboard"))) {
    return false;
  }
  m_entries.clear();
  return true;
}

std::vector<std::uint32_t> CSimClipboard::Formats() {
  std::vector<std::uint32_t> formats;
  if (CallerHoldsIt()) {
    for (const auto& entry : m_entries) {
      formats.push_back(entry.first);
    }
  }
  return formats;
}

std::size_t CSimClipboard::DataSize(std::uint32_t format) {
  const std::vector<std::uint8_t>* block = CallerHoldsIt() ? Block(format) : nullptr;
  return block == nullptr ? 0 : block->size();
}

bool CSimClipboard::GetData(std::uint32_t format, std::vector<std::uint8_t>* data) {
  if (data == nullptr || !CallerHoldsIt() || FAILED(m_faults.OnCall("GetClipboardData"))) {
    return false;
  }
  const std::vector<std::uint8_t>* block = Block(format);
  // A format set without a block (delayed rendering) has nothing to give.
  if (block == nullptr || block->empty()) {
    return false;
  }
  *data = *block;
  return true;
}

bool CSimClipboard::SetData(std::uint32_t format, const std::vector<std::uint8_t>& data) {
  if (format == 0 || !CallerHoldsIt() || FAILED(m_faults.OnCall("SetClipboardData"))) {
    return false;
  }
  for (auto& entry : m_entries) {
    if (entry.first == format) {
      entry.second = data;
      return true;
    }
  }
  m_entries.emplace_back(format, data);
  return true;
}

std::uint32_t CSimClipboard::RegisterFormat(const std::wstring& name) {
  if (!m_loop.IsLoopThread() || name.empty()) {
    return 0;
  }
  for (std::size_t i = 0; i < m_aNames.size(); ++i) {
    if (SameNameIgnoringCase(m_aNames[i], name)) {
      return kFirstRegisteredFormat + static_cast<std::uint32_t>(i);
    }
  }
  if (kFirstRegisteredFormat + m_aNames.size() > kLastRegisteredFormat) {
    return 0;
  }
  m_aNames.push_back(name);
  return kFirstRegisteredFormat + static_cast<std::uint32_t>(m_aNames.size() - 1);
}

std::wstring CSimClipboard::FormatName(std::uint32_t format) {
  if (!m_loop.IsLoopThread() || format < kFirstRegisteredFormat ||
      format - kFirstRegisteredFormat >= m_aNames.size()) {
    return std::wstring();
  }
  return m_aNames[format - kFirstRegisteredFormat];
}

bool CSimClipboard::HoldByAnotherProgram(bool hold) {
  if (!m_loop.IsLoopThread()) {
    return false;
  }
  if (hold) {
    if (m_holder == Holder::kCaller) {
      return false;
    }
    m_holder = Holder::kOtherProgram;
    return true;
  }
  if (m_holder == Holder::kOtherProgram) {
    m_holder = Holder::kNobody;
  }
  return true;
}

bool CSimClipboard::ReadAll(
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>* entries) {
  if (!m_loop.IsLoopThread() || m_holder != Holder::kNobody || entries == nullptr) {
    return false;
  }
  *entries = m_entries;
  return true;
}

bool CSimClipboard::ReplaceAll(
    const std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>& entries) {
  if (!m_loop.IsLoopThread() || m_holder != Holder::kNobody) {
    return false;
  }
  m_entries = entries;
  return true;
}

bool CopyClipboardContents(IClipboard& from, IClipboard& to) {
  struct Entry {
    std::uint32_t nFormat;
    std::wstring strName;
    std::vector<std::uint8_t> aData;
  };
  std::vector<Entry> entries;
  if (!from.Open()) {
    return false;
  }
  for (const std::uint32_t format : from.Formats()) {
    Entry entry{format, format >= kFirstRegisteredFormat ? from.FormatName(format) : L"", {}};
    if (from.GetData(format, &entry.aData) && !entry.aData.empty()) {
      entries.push_back(std::move(entry));
    }
  }
  from.Close();
  if (!to.Open()) {
    return false;
  }
  to.Empty();
  for (const Entry& entry : entries) {
    const std::uint32_t format =
        entry.strName.empty() ? entry.nFormat : to.RegisterFormat(entry.strName);
    if (format != 0) {
      to.SetData(format, entry.aData);
    }
  }
  to.Close();
  return true;
}
