// zenlet.dll as Outlook and the system meet it: registered by regsvr32 with exactly the keys of
// its class, created by ProgID, answering _IDTExtensibility2 through its vtable and through
// IDispatch, kept loaded while an object lives, and writing its log where the user's log lies.
#include <windows.h>
// After windows.h, whose types they need.
#include <gtest/gtest.h>
#include <oleauto.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/win32/module/class_registration.h"
#include "platform/win32/module/zenlet_ids.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_registry.h"
#include "resources/string_table.h"
#include "zenlet_idl.h"

namespace {

// The build's path of the DLL, as Wine's drive Z: shows the Linux file system.
std::wstring DllPath() {
  std::wstring path = L"Z:";
  for (const char c : std::string(ZENLET_DLL_PATH)) {
    path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
  }
  return path;
}

using KeyContent = std::tuple<std::wstring, std::wstring, std::wstring>;  // key, name, value

// Every key below `root`\`path` with its string values; a key without values appears once
// with an empty name and the value "<no value>".
void CollectTree(HKEY root, const std::wstring& path, std::vector<KeyContent>* out) {
  CRegKeyHandle key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) {
    return;
  }
  bool anyValue = false;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    BYTE data[2048];
    DWORD size = sizeof(data);
    DWORD type = 0;
    if (RegEnumValueW(key.Get(), i, name, &nameLength, nullptr, &type, data, &size) !=
        ERROR_SUCCESS) {
      break;
    }
    anyValue = true;
    std::wstring value(reinterpret_cast<wchar_t*>(data), size / sizeof(wchar_t));
    value = value.c_str();  // up to its NUL
    out->emplace_back(path, type == REG_SZ ? std::wstring(name) : L"<not REG_SZ>", value);
  }
  if (!anyValue) {
    out->emplace_back(path, L"", L"<no value>");
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (RegEnumKeyExW(key.Get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    CollectTree(root, path + L"\\" + name, out);
  }
}

std::vector<KeyContent> RegisteredClassKeys() {
  std::vector<KeyContent> found;
  for (const std::wstring& top : ClassRegistryRemovals()) {
    CollectTree(HKEY_CURRENT_USER, std::wstring(kClassesKey) + L"\\" + top, &found);
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<KeyContent> ExpectedClassKeys() {
  std::vector<KeyContent> expected;
  for (const ClassRegistryEntry& entry : ClassRegistryEntries(DllPath())) {
    const std::wstring key = std::wstring(kClassesKey) + L"\\" + entry.strKey;
    if (entry.bHasValue) {
      expected.emplace_back(key, entry.strName, entry.strValue);
    } else {
      expected.emplace_back(key, L"", L"<no value>");
    }
  }
  std::sort(expected.begin(), expected.end());
  return expected;
}

DWORD RunRegsvr32(const std::wstring& arguments) {
  std::wstring command = L"regsvr32.exe " + arguments + L" \"" + DllPath() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return GetLastError();
  }
  CKernelHandle thread(process.hThread);
  CKernelHandle handle(process.hProcess);
  WaitForSingleObject(handle.Get(), 60000);
  DWORD code = 1;
  GetExitCodeProcess(handle.Get(), &code);
  return code;
}

bool KeyExists(HKEY root, const std::wstring& path) {
  CRegKeyHandle key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

// The module's resources come from the same sources as the portable code.
TEST(ComServerTest, TheResourcesAreThoseOfTheSharedSources) {
  CModuleHandle module(LoadLibraryExW(DllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module);
  const unsigned ids[] = {
#define ZENLET_STRING(name, id, text) id,
#include "string_table.def"
#undef ZENLET_STRING
  };
  for (const unsigned id : ids) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(module.Get(), id, reinterpret_cast<wchar_t*>(&text), 0);
    ASSERT_GT(length, 0) << id;
    EXPECT_EQ(std::wstring(text, static_cast<std::size_t>(length)), LoadText(id)) << id;
  }
  wchar_t none[8] = {};
  EXPECT_EQ(LoadStringW(module.Get(), 111, none, 8), 0);  // not in the table

  // Bitmap 201 (16 x 16, 24 bits) and the hidden dialog 204.
  const HRSRC bitmap = FindResourceW(module.Get(), MAKEINTRESOURCEW(201), MAKEINTRESOURCEW(2));
  ASSERT_NE(bitmap, nullptr);
  const auto* header =
      static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module.Get(), bitmap)));
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->biWidth, 16);
  EXPECT_EQ(header->biHeight, 16);
  EXPECT_EQ(header->biBitCount, 24);
  EXPECT_NE(FindResourceW(module.Get(), MAKEINTRESOURCEW(204), MAKEINTRESOURCEW(5)), nullptr);

  // The version, in numbers and in text.
  DWORD ignored = 0;
  std::vector<BYTE> version(GetFileVersionInfoSizeW(DllPath().c_str(), &ignored));
  ASSERT_FALSE(version.empty());
  ASSERT_TRUE(GetFileVersionInfoW(DllPath().c_str(), 0, static_cast<DWORD>(version.size()),
                                  version.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(version.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000020u);
  wchar_t* text = nullptr;
  ASSERT_TRUE(VerQueryValueW(version.data(), L"\\StringFileInfo\\040904b0\\ProductVersion",
                             reinterpret_cast<void**>(&text), &size));
  EXPECT_EQ(std::wstring(text), L"0.1.0.32");

  // The type library: its name, and Connect with _IDTExtensibility2 as default interface.
  TComPtr<ITypeLib> library;
  ASSERT_EQ(LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, library.Receive()), S_OK);
  CBstr name;
  ASSERT_EQ(library->GetDocumentation(-1, nullptr, name.Receive(), nullptr, nullptr), S_OK);
  EXPECT_EQ(name.Text(), L"Zenlet 1.0 Type Library");
  // Made for this build's platform, which registration writes and unregistration names again.
  TLIBATTR* libraryAttributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&libraryAttributes), S_OK);
  EXPECT_EQ(libraryAttributes->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  library->ReleaseTLibAttr(libraryAttributes);
  TComPtr<ITypeInfo> coclass;
  ASSERT_EQ(library->GetTypeInfoOfGuid(kClsidConnect, coclass.Receive()), S_OK);
  CBstr className;
  ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, nullptr, className.Receive(), nullptr, nullptr),
            S_OK);
  EXPECT_EQ(className.Text(), L"Connect Class");
  HREFTYPE reference = 0;
  ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
  TComPtr<ITypeInfo> defaultInterface;
  ASSERT_EQ(coclass->GetRefTypeInfo(reference, defaultInterface.Receive()), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(defaultInterface->GetTypeAttr(&attributes), S_OK);
  EXPECT_TRUE(IsEqualIID(attributes->guid, kIidDtExtensibility2));
  EXPECT_NE(attributes->wTypeFlags & TYPEFLAG_FDUAL, 0);
  defaultInterface->ReleaseTypeAttr(attributes);
}

// The type library's registration for this build's platform ("win64" or "win32"), in the user's
// classes or, where the system registers libraries there (Wine), the machine's; empty if none.
std::wstring RegisteredTypeLibraryPath() {
  const std::wstring key = L"Software\\Classes\\TypeLib\\" + TypeLibIdText() +
                           (sizeof(void*) == 8 ? L"\\1.0\\0\\win64" : L"\\1.0\\0\\win32");
  for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    CRegKeyHandle handle;
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof(path) - sizeof(wchar_t);
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, handle.Receive()) == ERROR_SUCCESS &&
        RegQueryValueExW(handle.Get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path),
                         &size) == ERROR_SUCCESS) {
      return path;
    }
  }
  return {};
}

// A 32-bit DLL once unregistered its type library as win64, which it never registered: the
// win32 registration stayed behind, naming a DLL that the uninstaller then removed.
TEST(ComServerTest, Regsvr32WritesExactlyTheClassKeysAndRemovesThemAgain) {
  RemoveClassRegistration();
  ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
  EXPECT_EQ(RegisteredClassKeys(), ExpectedClassKeys());
  // The type library is registered for the class's TypeLib entry to name.
  const std::wstring library = L"Software\\Classes\\TypeLib\\" + TypeLibIdText();
  EXPECT_EQ(RegisteredTypeLibraryPath(), DllPath());

  // A second registration gives the same keys, not more.
  ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
  EXPECT_EQ(RegisteredClassKeys(), ExpectedClassKeys());

  ASSERT_EQ(RunRegsvr32(L"/u /s"), 0u);
  EXPECT_TRUE(RegisteredClassKeys().empty());
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, library));
  EXPECT_EQ(RegisteredTypeLibraryPath(), L"");

  // Unregistering what is already gone (an uninstaller after a manual regsvr32 /u) once failed
  // under Wine, which answers E_INVALIDARG for a type library that is not registered.
  EXPECT_EQ(RunRegsvr32(L"/u /s"), 0u);
}

// A small automation object of the test's own: it is no Outlook, so the add-in connects
// without an application, as the connection does for any host without _Application.
class CTestHost : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nReferences; }
  ULONG STDMETHODCALLTYPE Release() override { return --m_nReferences; }  // on the stack
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  ULONG m_nReferences = 1;
};

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ComServerObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(m_apartment.Result()));
    m_hModule.Reset(LoadLibraryW(DllPath().c_str()));
    ASSERT_TRUE(m_hModule);
    const auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_hModule.Get(), "DllRegisterServer")));
    m_canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_hModule.Get(), "DllCanUnloadNow")));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(m_canUnloadNow, nullptr);
    ASSERT_EQ(registerServer(), S_OK);
    // Wine does not merge the user's classes into HKEY_CLASSES_ROOT: copy them to the machine's.
    for (const std::wstring& top : ClassRegistryRemovals()) {
      const std::wstring path = std::wstring(kClassesKey) + L"\\" + top;
      CRegKeyHandle from;
      CRegKeyHandle to;
      ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, from.Receive()), 0);
      ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, to.Receive(), nullptr),
                0);
      ASSERT_EQ(RegCopyTreeW(from.Get(), nullptr, to.Get()), 0);
    }
  }
  void TearDown() override {
    for (const std::wstring& top : ClassRegistryRemovals()) {
      RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kClassesKey) + L"\\" + top).c_str());
    }
    RemoveClassRegistration();
  }

  CComApartment m_apartment;
  CModuleHandle m_hModule;
  HRESULT(STDAPICALLTYPE* m_canUnloadNow)() = nullptr;
};

TEST_F(ComServerObjectTest, CreatedByProgIdItAnswersExtensibilityAndKeepsTheModuleLoaded) {
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(L"Zenlet.Connect", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, kClsidConnect));
  ASSERT_EQ(CLSIDFromProgID(L"Zenlet.Connect.1", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, kClsidConnect));

  EXPECT_EQ(m_canUnloadNow(), S_OK);
  TComPtr<IDispatch> dispatch;
  ASSERT_EQ(
      CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, dispatch.ReceiveVoid()),
      S_OK);
  TComPtr<_IDTExtensibility2> extensibility;
  ASSERT_EQ(dispatch.As(kIidDtExtensibility2, &extensibility), S_OK);
  TComPtr<IUnknown> unknown;
  EXPECT_EQ(dispatch.As(IID_IClassFactory, &unknown), E_NOINTERFACE);
  EXPECT_EQ(m_canUnloadNow(), S_FALSE);

  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  const std::vector<std::pair<const wchar_t*, DISPID>> names = {
      {L"OnConnection", 1}, {L"OnDisconnection", 2}, {L"OnBeginShutdown", 5}};
  for (const auto& [name, expected] : names) {
    DISPID id = 0;
    LPOLESTR text = const_cast<LPOLESTR>(name);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, expected);
  }
  EXPECT_EQ(extensibility->OnAddInsUpdate(nullptr), S_OK);
  EXPECT_EQ(extensibility->OnStartupComplete(nullptr), S_OK);

  dispatch.Reset();
  extensibility.Reset();
  unknown.Reset();
  EXPECT_EQ(m_canUnloadNow(), S_OK);

  TComPtr<IClassFactory> factory;
  const auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void (*)()>(GetProcAddress(m_hModule.Get(), "DllGetClassObject")));
  EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, factory.ReceiveVoid()),
            CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(getClassObject(kClsidConnect, IID_IClassFactory, factory.ReceiveVoid()), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(m_canUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(m_canUnloadNow(), S_OK);
  TComPtr<IUnknown> aggregated;
  CTestHost outer;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, aggregated.ReceiveVoid()),
            CLASS_E_NOAGGREGATION);
}

// OnConnection as Outlook calls it through IDispatch: arguments in reverse order, `custom` by
// reference. The log file appears in the user's local application data folder.
TEST_F(ComServerObjectTest, ConnectionThroughDispatchWritesTheLogInTheUsersFolder) {
  wchar_t appData[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData),
            S_OK);
  const std::wstring logFile = std::wstring(appData) + L"\\Morvane\\Zenlet\\Logs\\Zenlet.log";
  const std::size_t before = ReadFile(logFile).size();

  TComPtr<IDispatch> dispatch;
  ASSERT_EQ(CoCreateInstance(kClsidConnect, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             dispatch.ReceiveVoid()),
            S_OK);
  CTestHost host;
  SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  VARIANT arguments[4];
  for (VARIANT& argument : arguments) {
    VariantInit(&argument);
  }
  arguments[0].vt = VT_ARRAY | VT_VARIANT | VT_BYREF;  // custom
  arguments[0].pparray = &custom;
  arguments[1].vt = VT_DISPATCH;  // AddInInst
  arguments[1].pdispVal = &host;
  arguments[2].vt = VT_I4;  // ConnectMode: ext_cm_Startup
  arguments[2].lVal = 1;
  arguments[3].vt = VT_DISPATCH;  // Application
  arguments[3].pdispVal = &host;
  DISPPARAMS parameters{arguments, nullptr, 4, 0};
  EXPECT_EQ(dispatch->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters,
                             nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_GT(host.m_nReferences, 1u);  // the connection keeps both objects until it ends

  TComPtr<_IDTExtensibility2> extensibility;
  ASSERT_EQ(dispatch.As(kIidDtExtensibility2, &extensibility), S_OK);
  EXPECT_EQ(extensibility->OnBeginShutdown(&custom), S_OK);
  EXPECT_EQ(extensibility->OnDisconnection(ext_dm_HostShutdown, &custom), S_OK);
  EXPECT_EQ(host.m_nReferences, 1u);
  SafeArrayDestroy(custom);

  const std::string log = ReadFile(logFile).substr(before);
  const std::string stamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3})";
  EXPECT_TRUE(std::regex_search(
      log, std::regex(stamp + R"( \[otc\] \[\d+\] DEBUG otc  - oc: 1 0\.1\.0\.32\r\n)")))
      << log;
  EXPECT_TRUE(std::regex_search(
      log, std::regex(stamp + R"( \[otc\] \[\d+\] DEBUG otc  - oc: 2 0  0\.1\.0\.32\r\n)")))
      << log;
}

}  // namespace
