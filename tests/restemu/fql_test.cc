#include "tools/restemu/fql.h"

#include <gtest/gtest.h>

namespace {

FqlTables People() {
  FqlTables tables;
  auto add = [&tables](const char* uid, const char* name, const char* status, std::int64_t time,
                       const char* birthday) {
    tables.aUsers.push_back(FqlUser{PersonRecord{uid, name, {status, time}, birthday}, 0});
    if (std::string(uid) != "1") {
      tables.aFriendships.emplace_back("1", uid);
      tables.aFriendships.emplace_back(uid, "1");
    }
  };
  add("1", "Me", "is me", 50, "");
  add("2", "Old News", "is old", 10, "");
  add("3", "Fresh", "is fresh", 90, "June 5");
  add("4", "Quiet June", "", 0, "June 30, 1970");
  add("5", "Quiet Jan", "", 0, "January 2");
  return tables;
}

std::vector<std::string> Column(const FqlOutcome& outcome, const std::string& column) {
  std::vector<std::string> values;
  for (const CAnswerNode& row : outcome.rows.Children()) {
    for (const CAnswerNode& field : row.Children()) {
      if (field.Name() == column) {
        values.push_back(field.Text());
      }
    }
  }
  return values;
}

TEST(FqlTest, ReadsTheFriendsQueryWithItsSpacingAndQuoting) {
  const FqlOutcome outcome = RunFqlQuery(
      "SELECT uid,name,status,birthday FROM user WHERE uid in (SELECT uid2 FROM friend WHERE "
      "uid1=1) AND (strlen(status.message) > 0 OR strpos(lower(birthday), \"jun\") >= 0)ORDER BY "
      "status.time DESC LIMIT 100 ",
      People());
  ASSERT_TRUE(outcome.bOk) << outcome.strError;
  EXPECT_EQ(Column(outcome, "uid"), (std::vector<std::string>{"3", "2", "4"}));
  const CAnswerNode& first = outcome.rows.Children()[0];
  ASSERT_EQ(first.Children().size(), 4u);
  EXPECT_EQ(first.Children()[2].Name(), "status");
  EXPECT_EQ(first.Children()[2].Children()[0].Text(), "is fresh");
  EXPECT_EQ(first.Children()[2].Children()[1].Text(), "90");
}

TEST(FqlTest, EvaluatesTheRestOfTheSmallGrammar) {
  auto uids = [](const char* query) {
    const FqlOutcome outcome = RunFqlQuery(query, People());
    EXPECT_TRUE(outcome.bOk) << query << ": " << outcome.strError;
    return Column(outcome, "uid");
  };
  using List = std::vector<std::string>;
  EXPECT_EQ(uids("SELECT uid,name,status,wall_count FROM user WHERE uid =1"), List{"1"});
  EXPECT_EQ(uids("select uid from user where uid IN (2, '3', 99) order by uid desc"),
            (List{"3", "2"}));
  EXPECT_EQ(uids("SELECT uid FROM user WHERE NOT (uid = 1 OR strlen(status.message) = 0) LIMIT 1"),
            List{"2"});
  EXPECT_EQ(uids("SELECT uid FROM user WHERE strpos(name, 'June') = 6"), List{"4"});
  EXPECT_EQ(uids("SELECT uid FROM user WHERE upper(concat(name, '!')) = 'FRESH!'"), List{"3"});
  EXPECT_EQ(uids("SELECT uid FROM user WHERE status.time >= 50 AND status.time <> 90"), List{"1"});
  EXPECT_EQ(Column(RunFqlQuery("SELECT uid2 FROM friend WHERE uid1=4", People()), "uid2"),
            List{"1"});
}

TEST(FqlTest, AnythingElseIsAParserErrorNotACrash) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "Parser error: unexpected end of query."},
      {"SELECT * FROM user", "Parser error: unexpected '*' at position 7."},
      {"SELECT uid FROM user WHERE uid = 1 1", "Parser error: unexpected '1' at position 35."},
      {"SELECT pic FROM user WHERE uid = 1", "Parser error: unknown field \"pic\" in table user."},
      {"SELECT uid FROM user WHERE status = 1", "Parser error: unknown field \"status\""},
      {"SELECT uid FROM page WHERE uid = 1", "Parser error: unknown table \"page\"."},
      {"SELECT uid FROM user WHERE name = \"open", "Parser error: unterminated string"},
      {"SELECT uid FROM user WHERE uid IN (SELECT uid1, uid2 FROM friend)",
       "Parser error: a sub-query must select exactly one field."},
      // Selecting the status record in a sub-query answered 500 with no body.
      {"SELECT uid FROM user WHERE uid IN (SELECT status FROM user)",
       "Parser error: a sub-query must select a field with a single value, not \"status\"."},
      {"SELECT uid FROM user WHERE md5(name) = 1", "Parser error: unknown function \"md5\"."},
      {"SELECT uid FROM user WHERE uid = " + std::string(5000, '(') + "1" + std::string(5000, ')'),
       "Parser error: the query is too long."},
      {"SELECT uid FROM user WHERE " + std::string(40, '(') + "1" + std::string(40, ')'),
       "Parser error: the query is nested too deeply."},
  };
  for (const auto& [query, expected] : cases) {
    const FqlOutcome outcome = RunFqlQuery(query, People());
    EXPECT_FALSE(outcome.bOk) << query;
    EXPECT_EQ(outcome.strError.rfind(expected, 0), 0u) << query << " -> " << outcome.strError;
  }
}

}  // namespace
