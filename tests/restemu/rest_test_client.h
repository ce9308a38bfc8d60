// Talks to the emulator the way a client of the REST service does, over loopback HTTP, with
// a signature helper written from the service's documentation alone, and reads answers with
// libxml2.
#pragma once

#include <httplib.h>
#include <libxml/tree.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

using ParamMap = std::map<std::string, std::string>;

// MD5 of the sorted name=value pairs followed by the secret, lower-case hex. A std::map keeps
// its keys in byte order, which is the order the service sorts in.
std::string SignForTest(const ParamMap& params, const std::string& secret);
// Percent-encodes everything but letters, digits and "-_.~".
std::string FormEncode(const ParamMap& params);

class CRestTestClient {
 public:
  explicit CRestTestClient(int port);

  // A signed call: api_key, call_id, method, v and (with a session) session_key are added,
  // and the session secret signs once there is one, the application secret before.
  httplib::Result Call(const std::string& method, ParamMap params = {});
  // The same parameters and signature as Call, without sending; for tampering.
  ParamMap Signed(const std::string& method, ParamMap params = {});
  httplib::Result PostForm(const std::string& body);

  // createToken, the login form posted, getSession: the client then holds a session.
  void LogIn();

  httplib::Client& Http() { return m_http; }
  std::string strApiKey;
  std::string strAppSecret;
  std::string strSessionKey;
  std::string strSessionSecret;
  std::uint64_t nCallId = 1000;

 private:
  httplib::Client m_http;
};

// An answer parsed with libxml2; XPath expressions use the prefix "fb" for the service's
// namespace.
class CXmlAnswer {
 public:
  explicit CXmlAnswer(const std::string& body);

  bool IsWellFormed() const { return m_pDocument != nullptr; }
  std::string RootName() const;
  std::string RootNamespace() const;
  // The root's attribute `name` in namespace `ns` (null: no namespace); empty when absent.
  std::string RootAttribute(const char* name, const char* ns = nullptr) const;
  std::string Text(const std::string& xpath) const;
  int Count(const std::string& xpath) const;

 private:
  std::shared_ptr<xmlDoc> m_pDocument;
};
