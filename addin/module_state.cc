#include "addin/module_state.h"

#include <atomic>
#include <limits>
#include <string>
#include <utility>

#include "common/process_instance.h"
#include "platform/outlook_host.h"

namespace {

std::atomic<long> g_nModuleLocks{0};

}  // namespace

void CModuleState::SetOutlookApplication(std::shared_ptr<IOutlookApplication> application) {
  if (m_nMajorVersion == 0 && application) {
    std::wstring version;
    if (SUCCEEDED(application->GetVersion(&version))) {
      m_nMajorVersion = ParseMajorVersion(version);
    }
  }
  m_spApplication = std::move(application);
}

HRESULT CModuleState::GetOutlookApplication(
    std::shared_ptr<IOutlookApplication>* application) const {
  if (application == nullptr || !m_spApplication) {
    return E_POINTER;
  }
  *application = m_spApplication;
  return S_OK;
}

std::int32_t ParseMajorVersion(std::wstring_view version) {
  std::int64_t value = 0;
  for (const wchar_t c : version) {
    if (c < L'0' || c > L'9') {
      break;
    }
    value = value * 10 + (c - L'0');
    if (value > std::numeric_limits<std::int32_t>::max()) {
      return 0;
    }
  }
  return static_cast<std::int32_t>(value);
}

HRESULT GetOutlookApplication(std::shared_ptr<IOutlookApplication>* application) {
  const CModuleState* state = CProcessInstance<CModuleState>::Get();
  return state != nullptr ? state->GetOutlookApplication(application) : E_POINTER;
}

std::int32_t GetOutlookMajorVersion() {
  const CModuleState* state = CProcessInstance<CModuleState>::Get();
  return state != nullptr ? state->GetOutlookMajorVersion() : 0;
}

CModuleLock::CModuleLock() {
  ++g_nModuleLocks;
}

CModuleLock::CModuleLock(const CModuleLock&) {
  ++g_nModuleLocks;
}

CModuleLock::~CModuleLock() {
  --g_nModuleLocks;
}

long CModuleLock::Count() {
  return g_nModuleLocks.load();
}

HRESULT CanUnloadModuleNow() {
  return g_nModuleLocks.load() == 0 ? S_OK : S_FALSE;
}
