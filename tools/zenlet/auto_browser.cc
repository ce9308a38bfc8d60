#include "tools/zenlet/auto_browser.h"

#include <httplib.h>

#include "common/text.h"

namespace {

// The query's fields; a name given twice keeps its last value, as the pages read them.
httplib::Params QueryFields(const std::string& query) {
  httplib::Params fields;
  httplib::detail::parse_query_text(query, fields);
  httplib::Params last;
  for (const auto& field : fields) {
    last.erase(field.first);
    last.emplace(field.first, field.second);
  }
  return last;
}

}  // namespace

bool CAutoBrowser::Visit(const std::wstring& address) const {
  const std::string url = WideToUtf8(address);
  const std::string origin = "http://127.0.0.1:" + std::to_string(m_nPort);
  if (url.compare(0, origin.size() + 1, origin + "/") != 0) {
    return false;
  }
  const std::string target = url.substr(origin.size());
  const std::size_t question = target.find('?');
  const std::string path = target.substr(0, question);
  const std::string query = question == std::string::npos ? "" : target.substr(question + 1);

  httplib::Client browser("127.0.0.1", m_nPort);
  browser.set_connection_timeout(5);
  browser.set_read_timeout(10);
  const httplib::Result page = browser.Get(target.c_str());
  if (!page || page->status != 200) {
    return false;
  }
  httplib::Params form = QueryFields(query);
  if (path == "/authorize.php") {
    form.emplace("decision", "allow");
  } else if (path != "/login.php") {
    return true;
  }
  const httplib::Result answer = browser.Post(path.c_str(), form);
  return answer && answer->status == 200;
}
