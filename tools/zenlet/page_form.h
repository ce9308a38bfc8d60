// What a user sends from a page of the service by pressing its first submit button: the form's
// method and action, its hidden fields in page order, then the button's name and value (the
// login page's "Log in", the permission page's "Allow"). Both browsers of the tests work pages
// with it: the zenlet program's built-in one and the COM test Outlook's http handler.
//
// Written for the service's own pages (tools/restemu/site_pages.cc): one form, attributes in
// double quotes, the entities &amp; &lt; &gt; &quot;.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct PageForm {
  std::string strMethod;  // lower case: "post" or "get"
  std::string strAction;  // as the page writes it: a path on the page's own server
  std::vector<std::pair<std::string, std::string>> aFields;
};

// The page's form, or nothing when it has none (a page to read, not to submit).
std::optional<PageForm> ReadPageForm(std::string_view html);

// The fields as an application/x-www-form-urlencoded body.
std::string EncodeFormFields(const std::vector<std::pair<std::string, std::string>>& fields);
