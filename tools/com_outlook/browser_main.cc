// zenlet-test-browser ADDRESS: the browser of the COM test Outlook's Windows, registered as the
// handler of http so that the add-in's ShellExecute of a page goes through Windows' own path.
// It works the page as the demo user would: fetches it and sends its form by its first
// button (the login page's "Log in", the permission page's "Allow"); a page without a form
// is only read. Then it tells the COM test Outlook that started it (through the window its
// environment names) which address it worked. Exit code 0 when the page and its form went
// through.
#include <windows.h>
// After windows.h, whose types they need.
#include <shellapi.h>
#include <wininet.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>

#include "common/text.h"
#include "platform/win32/win32_handles.h"
#include "tools/com_outlook/host_windows.h"
#include "tools/zenlet/page_form.h"

namespace {

struct Url {
  std::wstring strHost;
  INTERNET_PORT nPort = 80;
  std::wstring strPathAndQuery;
};

std::optional<Url> Split(const std::wstring& address) {
  wchar_t host[256] = {};
  wchar_t path[2048] = {};
  wchar_t extra[2048] = {};
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = 256;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = 2048;
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = 2048;
  if (!InternetCrackUrlW(address.c_str(), 0, 0, &parts) || parts.nScheme != INTERNET_SCHEME_HTTP) {
    return std::nullopt;
  }
  return Url{host, parts.nPort, std::wstring(path) + extra};
}

// One request on `connection`; the body of a 200 answer, nothing otherwise.
std::optional<std::string> Request(HINTERNET connection, const wchar_t* verb,
                                   const std::wstring& target, const std::string& body) {
  CInternetHandle request(HttpOpenRequestW(connection, verb, target.c_str(), nullptr, nullptr,
                                           nullptr,
                                           INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
  if (!request) {
    return std::nullopt;
  }
  const wchar_t* headers =
      body.empty() ? nullptr : L"Content-Type: application/x-www-form-urlencoded\r\n";
  if (!HttpSendRequestW(request.Get(), headers, headers != nullptr ? static_cast<DWORD>(-1) : 0,
                        body.empty() ? nullptr : const_cast<char*>(body.data()),
                        static_cast<DWORD>(body.size()))) {
    return std::nullopt;
  }
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                      &size, nullptr) ||
      status != 200) {
    return std::nullopt;
  }
  std::string page;
  char buffer[4096];
  DWORD read = 0;
  while (InternetReadFile(request.Get(), buffer, sizeof buffer, &read) && read > 0) {
    page.append(buffer, read);
  }
  return page;
}

bool Work(const std::wstring& address) {
  const std::optional<Url> url = Split(address);
  if (!url) {
    return false;
  }
  CInternetHandle internet(
      InternetOpenW(L"zenlet-test-browser", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  CInternetHandle connection(internet ? InternetConnectW(internet.Get(), url->strHost.c_str(),
                                                         url->nPort, nullptr, nullptr,
                                                         INTERNET_SERVICE_HTTP, 0, 0)
                                      : nullptr);
  if (!connection) {
    return false;
  }
  const std::optional<std::string> page =
      Request(connection.Get(), L"GET", url->strPathAndQuery, "");
  if (!page) {
    return false;
  }
  const std::optional<PageForm> form = ReadPageForm(*page);
  if (!form) {
    return true;  // a page to read
  }
  const std::string fields = EncodeFormFields(form->aFields);
  const std::wstring action = Utf8ToWide(form->strAction);
  return form->strMethod == "post"
             ? Request(connection.Get(), L"POST", action, fields).has_value()
             : Request(connection.Get(), L"GET", action + L"?" + Utf8ToWide(fields), "")
                   .has_value();
}

// The COM test Outlook that started this browser hears which address it worked.
void Tell(const std::wstring& address) {
  wchar_t handle[32] = {};
  if (GetEnvironmentVariableW(kHostWindowVariable, handle, 32) == 0) {
    return;  // started by someone else
  }
  const auto window =
      reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::wcstoull(handle, nullptr, 16)));
  COPYDATASTRUCT data{};
  data.dwData = kBrowserReport;
  data.cbData = static_cast<DWORD>(address.size() * sizeof(wchar_t));
  data.lpData = const_cast<wchar_t*>(address.data());
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                      10000, &answer);
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr || count != 2) {
    std::fprintf(stderr, "usage: zenlet-test-browser ADDRESS\n");
    return 2;
  }
  const std::wstring address = arguments[1];
  LocalFree(arguments);
  const bool worked = Work(address);
  if (!worked) {
    std::fprintf(stderr, "zenlet-test-browser: %s could not be worked\n",
                 WideToUtf8(address).c_str());
  }
  Tell(address);
  return worked ? 0 : 1;
}
