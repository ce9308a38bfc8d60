#include "tools/zenlet/page_form.h"

#include <cctype>

#include "facebook/request_params.h"

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower;
}

std::string Unescape(std::string_view text) {
  static const std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    bool replaced = false;
    for (const auto& [entity, c] : kEntities) {
      if (text.substr(at, entity.size()) == entity) {
        out.push_back(c);
        at += entity.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) {
      out.push_back(text[at++]);
    }
  }
  return out;
}

// The value of attribute `name` in the tag text `tag`; nothing when it has none.
std::optional<std::string> Attribute(std::string_view tag, std::string_view name) {
  const std::string wanted = " " + std::string(name) + "=\"";
  const std::string lower = Lower(tag);
  const std::size_t at = lower.find(wanted);
  if (at == std::string::npos) {
    return std::nullopt;
  }
  const std::size_t begin = at + wanted.size();
  const std::size_t end = tag.find('"', begin);
  if (end == std::string_view::npos) {
    return std::nullopt;
  }
  return Unescape(tag.substr(begin, end - begin));
}

}  // namespace

std::optional<PageForm> ReadPageForm(std::string_view html) {
  const std::string lower = Lower(html);
  const std::size_t open = lower.find("<form");
  const std::size_t close = lower.find("</form>", open);
  if (open == std::string::npos || close == std::string::npos) {
    return std::nullopt;
  }
  PageForm form;
  const std::size_t formEnd = html.find('>', open);
  const std::string_view formTag = html.substr(open, formEnd - open);
  form.strMethod = Lower(Attribute(formTag, "method").value_or("get"));
  form.strAction = Attribute(formTag, "action").value_or("");

  std::optional<std::pair<std::string, std::string>> submit;
  for (std::size_t at = lower.find('<', formEnd); at < close; at = lower.find('<', at + 1)) {
    const std::size_t end = html.find('>', at);
    if (end == std::string_view::npos) {
      break;
    }
    const std::string_view tag = html.substr(at, end - at);
    const bool input = lower.compare(at, 6, "<input") == 0;
    const bool button = lower.compare(at, 7, "<button") == 0;
    if (!input && !button) {
      continue;
    }
    const std::string type = Lower(Attribute(tag, "type").value_or(input ? "text" : "submit"));
    const std::optional<std::string> name = Attribute(tag, "name");
    if (type == "hidden" && name) {
      form.aFields.emplace_back(*name, Attribute(tag, "value").value_or(""));
    } else if (type == "submit" && !submit) {
      // The pressed button is sent only when it has a name.
      submit.emplace(name.value_or(""), Attribute(tag, "value").value_or(""));
    }
  }
  if (submit && !submit->first.empty()) {
    form.aFields.push_back(*submit);
  }
  return form;
}

std::string EncodeFormFields(const std::vector<std::pair<std::string, std::string>>& fields) {
  std::string body;
  for (const auto& [name, value] : fields) {
    body += (body.empty() ? "" : "&") + UrlEncode(name) + "=" + UrlEncode(value);
  }
  return body;
}
