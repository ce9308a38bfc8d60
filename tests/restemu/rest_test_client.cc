#include "tests/restemu/rest_test_client.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <openssl/evp.h>

#include <cctype>
#include <cstdio>

#include "common/deployment.h"

namespace {

constexpr char kNamespace[] = "http://api.facebook.com/1.0/";

}  // namespace

std::string SignForTest(const ParamMap& params, const std::string& secret) {
  std::string base;
  for (const auto& [name, value] : params) {
    if (name != "sig") {
      base += name + "=" + value;
    }
  }
  base += secret;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(base.data(), base.size(), digest, &length, EVP_md5(), nullptr);
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", digest[i]);
    hex += pair;
  }
  return hex;
}

std::string FormEncode(const ParamMap& params) {
  std::string body;
  for (const auto& [name, value] : params) {
    body += body.empty() ? "" : "&";
    body += name + "=";
    for (unsigned char c : value) {
      if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
        body.push_back(static_cast<char>(c));
      } else {
        char escape[4];
        std::snprintf(escape, sizeof escape, "%%%02X", c);
        body += escape;
      }
    }
  }
  return body;
}

CRestTestClient::CRestTestClient(int port)
    : strApiKey(GetDeploymentConfig().strApiKey),
      strAppSecret(GetDeploymentConfig().strAppSecret),
      m_http("127.0.0.1", port) {
  m_http.set_read_timeout(30, 0);
}

ParamMap CRestTestClient::Signed(const std::string& method, ParamMap params) {
  params["api_key"] = strApiKey;
  params["call_id"] = std::to_string(++nCallId);
  params["method"] = method;
  params["v"] = "1.0";
  if (!strSessionKey.empty()) {
    params["session_key"] = strSessionKey;
  }
  params["sig"] = SignForTest(params, strSessionSecret.empty() ? strAppSecret : strSessionSecret);
  return params;
}

httplib::Result CRestTestClient::Call(const std::string& method, ParamMap params) {
  return PostForm(FormEncode(Signed(method, std::move(params))));
}

httplib::Result CRestTestClient::PostForm(const std::string& body) {
  return m_http.Post("/restserver.php", body, "application/x-www-form-urlencoded");
}

void CRestTestClient::LogIn() {
  auto token = Call("facebook.auth.createToken");
  ASSERT_TRUE(token);
  const std::string tokenText = CXmlAnswer(token->body).Text("/fb:auth_createToken_response");
  ASSERT_EQ(tokenText.size(), 32u);
  auto login = m_http.Post(
      "/login.php", FormEncode({{"api_key", strApiKey}, {"auth_token", tokenText}, {"v", "1.0"}}),
      "application/x-www-form-urlencoded");
  ASSERT_TRUE(login);
  ASSERT_EQ(login->status, 200);
  auto session = Call("facebook.auth.getSession", {{"auth_token", tokenText}});
  ASSERT_TRUE(session);
  const CXmlAnswer answer(session->body);
  strSessionKey = answer.Text("/fb:auth_getSession_response/fb:session_key");
  strSessionSecret = answer.Text("/fb:auth_getSession_response/fb:secret");
  ASSERT_FALSE(strSessionKey.empty()) << session->body;
}

CXmlAnswer::CXmlAnswer(const std::string& body)
    : m_pDocument(xmlReadMemory(body.data(), static_cast<int>(body.size()), nullptr, "UTF-8",
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
                  &xmlFreeDoc) {
  if (m_pDocument && !xmlDocGetRootElement(m_pDocument.get())) {
    m_pDocument.reset();
  }
}

std::string CXmlAnswer::RootName() const {
  return m_pDocument ? reinterpret_cast<const char*>(xmlDocGetRootElement(m_pDocument.get())->name)
                     : "";
}

std::string CXmlAnswer::RootNamespace() const {
  const xmlNode* root = m_pDocument ? xmlDocGetRootElement(m_pDocument.get()) : nullptr;
  return root && root->ns ? reinterpret_cast<const char*>(root->ns->href) : "";
}

std::string CXmlAnswer::RootAttribute(const char* name, const char* ns) const {
  if (!m_pDocument) {
    return "";
  }
  xmlChar* value =
      xmlGetNsProp(xmlDocGetRootElement(m_pDocument.get()), reinterpret_cast<const xmlChar*>(name),
                   reinterpret_cast<const xmlChar*>(ns));
  std::string text = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

namespace {

// Runs `xpath` and hands the node set to `use`.
template <typename Use>
void Select(xmlDoc* document, const std::string& xpath, Use use) {
  if (!document) {
    use(nullptr);
    return;
  }
  xmlXPathContextPtr context = xmlXPathNewContext(document);
  xmlXPathRegisterNs(context, reinterpret_cast<const xmlChar*>("fb"),
                     reinterpret_cast<const xmlChar*>(kNamespace));
  xmlXPathObjectPtr result =
      xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath.c_str()), context);
  use(result ? result->nodesetval : nullptr);
  xmlXPathFreeObject(result);
  xmlXPathFreeContext(context);
}

}  // namespace

std::string CXmlAnswer::Text(const std::string& xpath) const {
  std::string text;
  Select(m_pDocument.get(), xpath, [&text](xmlNodeSetPtr nodes) {
    if (nodes && nodes->nodeNr > 0) {
      xmlChar* content = xmlNodeGetContent(nodes->nodeTab[0]);
      text = content ? reinterpret_cast<const char*>(content) : "";
      xmlFree(content);
    }
  });
  // The service pretty-prints; a caller wants the value.
  const std::size_t first = text.find_first_not_of(" \n\r\t");
  return first == std::string::npos
             ? ""
             : text.substr(first, text.find_last_not_of(" \n\r\t") - first + 1);
}

int CXmlAnswer::Count(const std::string& xpath) const {
  int count = 0;
  Select(m_pDocument.get(), xpath,
         [&count](xmlNodeSetPtr nodes) { count = nodes ? nodes->nodeNr : 0; });
  return count;
}
