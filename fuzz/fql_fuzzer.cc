// The emulator's FQL reader on any query, over the demo world's tables. A query is either
// refused with a parser error or answered with rows that are well-formed in both formats.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/emulator_support.h"
#include "fuzz/fuzz_support.h"
#include "tools/restemu/calendar.h"
#include "tools/restemu/fql.h"

namespace {

FqlTables DemoTables() {
  const Scenario& scenario = DemoScenario();
  const CalendarDate today = scenario.today.value_or(CalendarDate{2023, 11, 14});
  FqlTables tables;
  PersonRecord user = scenario.user;
  user.strBirthday = ExpandBirthday(user.strBirthday, today);
  tables.aUsers.push_back(FqlUser{user, scenario.nWallCount});
  for (PersonRecord person : scenario.aFriends) {
    person.strBirthday = ExpandBirthday(person.strBirthday, today);
    tables.aUsers.push_back(FqlUser{person, 0});
    tables.aFriendships.emplace_back(scenario.user.strUid, person.strUid);
    tables.aFriendships.emplace_back(person.strUid, scenario.user.strUid);
  }
  return tables;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const FqlTables tables = DemoTables();
  const FqlOutcome outcome = RunFqlQuery(AsText(data, size), tables);
  if (!outcome.bOk) {
    Require(outcome.strError.compare(0, 13, "Parser error:") == 0,
            "a query not taken is a parser error");
    return 0;
  }
  Require(
      outcome.rows.Children().size() <= std::max(tables.aUsers.size(), tables.aFriendships.size()),
      "a query gives no more rows than the tables hold");
  AnswerDocument document;
  document.root = outcome.rows;
  document.bSchemaLocation = false;
  RequireWellFormedAnswer(document);
  return 0;
}
