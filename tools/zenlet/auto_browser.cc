#include "tools/zenlet/auto_browser.h"

#include <httplib.h>

#include "common/text.h"
#include "tools/zenlet/page_form.h"

bool CAutoBrowser::Visit(const std::wstring& address) const {
  const std::string url = WideToUtf8(address);
  const std::string origin = "http://127.0.0.1:" + std::to_string(m_nPort);
  if (url.compare(0, origin.size() + 1, origin + "/") != 0) {
    return false;
  }
  httplib::Client browser("127.0.0.1", m_nPort);
  browser.set_connection_timeout(5);
  browser.set_read_timeout(10);
  const httplib::Result page = browser.Get(url.substr(origin.size()).c_str());
  if (!page || page->status != 200) {
    return false;
  }
  const std::optional<PageForm> form = ReadPageForm(page->body);
  if (!form) {
    return true;  // a page to read: the user has seen it
  }
  const std::string body = EncodeFormFields(form->aFields);
  const httplib::Result answer =
      form->strMethod == "post"
          ? browser.Post(form->strAction.c_str(), body, "application/x-www-form-urlencoded")
          : browser.Get((form->strAction + "?" + body).c_str());
  return answer && answer->status == 200;
}
