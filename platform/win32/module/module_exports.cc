// The DLL's entry points: the module's start-up at load, the class factory of Connect, the
// unload check on the module lock count, and self-registration for the current user.
#include <windows.h>
// After windows.h, whose types they need.
#include <oleauto.h>
#include <olectl.h>

#include <mutex>
#include <vector>

#include "addin/addin_module.h"
#include "addin/module_state.h"
#include "platform/win32/module/class_registration.h"
#include "platform/win32/module/com_boundary.h"
#include "platform/win32/module/connect_object.h"
#include "platform/win32/module/module_deployment.h"
#include "platform/win32/module/zenlet_ids.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"

namespace {

HMODULE g_hModule = nullptr;

// The process's adapters and module, made when the first object is asked for and destroyed
// when the DLL unloads, in reverse order.
CAddinModule& Module() {
  static CWin32Platform s_platform;
  static CAddinModule s_module(s_platform.Bundle(), ModuleDeployment());
  return s_module;
}

// The full path of this DLL, however long.
std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(g_hModule, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return {};
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// Registration runs under the system's default locale, and the caller's comes back after.
class CSystemLocaleScope {
 public:
  CSystemLocaleScope() : m_previous(GetThreadLocale()) { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
  ~CSystemLocaleScope() { SetThreadLocale(m_previous); }
  CSystemLocaleScope(const CSystemLocaleScope&) = delete;
  CSystemLocaleScope& operator=(const CSystemLocaleScope&) = delete;

 private:
  LCID m_previous;
};

// The per-user forms of type library registration where the system has them (Vista and
// later): a user without administrator rights cannot write the machine's classes.
using RegisterForUserFunction = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterForUserFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

template <typename Function>
Function OleAutomationFunction(const char* name) {
  const HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
  return oleaut == nullptr ? nullptr
                           : reinterpret_cast<Function>(
                                 reinterpret_cast<void (*)()>(GetProcAddress(oleaut, name)));
}

HRESULT RegisterEmbeddedTypeLibrary(const std::wstring& modulePath) {
  TComPtr<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.Receive());
  if (FAILED(hr)) {
    return hr;
  }
  std::wstring path = modulePath;
  if (const auto forUser =
          OleAutomationFunction<RegisterForUserFunction>("RegisterTypeLibForUser")) {
    return forUser(library.Get(), path.data(), nullptr);
  }
  return RegisterTypeLib(library.Get(), path.data(), nullptr);
}

// The library is registered under the platform it was built for (win64 or win32), and the two
// DLLs' registrations of the one library id stand side by side: each removes only its own.
constexpr SYSKIND kModuleSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

HRESULT UnregisterEmbeddedTypeLibrary() {
  const auto forUser = OleAutomationFunction<UnregisterForUserFunction>("UnRegisterTypeLibForUser");
  const HRESULT hr = forUser != nullptr
                         ? forUser(kLibidZenlet, 1, 0, LOCALE_NEUTRAL, kModuleSysKind)
                         : UnRegisterTypeLib(kLibidZenlet, 1, 0, LOCALE_NEUTRAL, kModuleSysKind);
  // A library that is not registered is as unregistered as it gets. Wine says so with
  // E_INVALIDARG, which our constant arguments cannot otherwise earn.
  return hr == TYPE_E_LIBNOTREGISTERED || hr == TYPE_E_REGISTRYACCESS || hr == E_INVALIDARG ? S_OK
                                                                                            : hr;
}

// IClassFactory of Connect: one static object, not counted; LockServer holds module locks.
class CConnectFactory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    return ComBoundary([&] {
      if (out != nullptr) {
        *out = nullptr;
      }
      if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
      }
      return CreateConnectObject(Module(), g_hModule, iid, out);
    });
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    return ComBoundary([&] {
      std::lock_guard<std::mutex> guard(m_mutex);
      if (lock) {
        m_aLocks.emplace_back();
      } else if (!m_aLocks.empty()) {
        m_aLocks.pop_back();
      }
      return S_OK;
    });
  }

 private:
  std::mutex m_mutex;
  std::vector<CModuleLock> m_aLocks;
};

CConnectFactory g_factory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_hModule = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return ComBoundary([&] {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = nullptr;
    if (!IsEqualCLSID(clsid, kClsidConnect)) {
      return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(iid, out);
  });
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return ComBoundary([] { return CanUnloadModuleNow(); });
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  return ComBoundary([] {
    CSystemLocaleScope locale;
    const std::wstring path = ModulePath();
    if (path.empty() || WriteClassRegistration(path) != kRegOk) {
      return SELFREG_E_CLASS;
    }
    return SUCCEEDED(RegisterEmbeddedTypeLibrary(path)) ? S_OK : SELFREG_E_TYPELIB;
  });
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return ComBoundary([] {
    CSystemLocaleScope locale;
    const RegistryStatus classes = RemoveClassRegistration();
    const HRESULT library = UnregisterEmbeddedTypeLibrary();
    if (classes != kRegOk) {
      return SELFREG_E_CLASS;
    }
    return SUCCEEDED(library) ? S_OK : SELFREG_E_TYPELIB;
  });
}
