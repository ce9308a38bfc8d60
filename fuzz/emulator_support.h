// What the emulator's fuzz targets share: the demo world, and a whole session of the add-in's
// calls run against a service, every answer checked to be well-formed in both formats.
#pragma once

#include <string_view>

#include "tools/restemu/rest_service.h"
#include "tools/restemu/scenario.h"

// The built-in demo scenario, read once, at a fixed "now".
const Scenario& DemoScenario();

// Whether `text` loads as an XML document with a root element.
bool IsWellFormedXml(std::string_view text);
// Requires both renderings of `document` to be well-formed: XML and JSON.
void RequireWellFormedAnswer(const AnswerDocument& document);

// The add-in's login and polls against `service`, made as the add-in makes them (signed, with
// the deployment's key): a token approved as the login page does, the session, the
// notifications, the two queries, a status post and a permission check. Every answer must be
// well-formed, and the login and the polls must succeed (or meet an expired session, when
// the world's sessions last so short a time).
void RunAddinSession(CRestService& service, const Scenario& scenario);
