// A reader for the part of the service's query language (FQL) that desktop clients use:
// SELECT with a field list FROM the user or friend table, a WHERE condition built from
// comparisons, AND, OR, NOT, IN over a list or a sub-query and the functions strlen, strpos,
// lower, upper and concat, then ORDER BY one field and LIMIT. Anything else is a parser
// error, which the service answers with error code 601.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/restemu/answer.h"
#include "tools/restemu/scenario.h"

struct FqlUser {
  PersonRecord person;  // birthday already expanded
  std::int64_t nWallCount = 0;
};

struct FqlTables {
  std::vector<FqlUser> aUsers;
  // Friendships, each both ways: (uid1, uid2).
  std::vector<std::pair<std::string, std::string>> aFriendships;
};

struct FqlOutcome {
  bool bOk = false;
  std::string strError;  // "Parser error: ..." when not bOk
  CAnswerNode rows = CAnswerNode::List("fql_query_response");
};

FqlOutcome RunFqlQuery(std::string_view query, const FqlTables& tables);
