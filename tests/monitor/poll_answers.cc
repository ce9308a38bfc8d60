#include "tests/monitor/poll_answers.h"

std::string NotificationsAnswer() {
  return ReadFixture("example_notifications_get_xml.xml");
}

std::string OwnRecordAnswer(int wallCount, const std::string& status,
                            const std::string& statusTime) {
  std::string user = "<user><uid>8055</uid><name>Dave</name>";
  if (!status.empty()) {
    user += "<status><message>" + status + "</message><time>" + statusTime + "</time></status>";
  }
  user += "<wall_count>" + std::to_string(wallCount) + "</wall_count></user>";
  return ServiceAnswer("fql_query_response", user);
}

std::string FriendsAnswer(const std::vector<FriendStatus>& friends) {
  std::string users;
  int uid = 0;
  for (const FriendStatus& f : friends) {
    users += "<user><uid>" + std::to_string(++uid) + "</uid><name>" + f.strName +
             "</name><status><message>" + f.strMessage + "</message><time>" + f.strTime +
             "</time></status></user>";
  }
  return ServiceAnswer("fql_query_response", users);
}

void AnswerCheck(ClientHarness& h, int wallCount, const std::vector<FriendStatus>& friends) {
  h.Answer(NotificationsAnswer());
  h.Answer(OwnRecordAnswer(wallCount));
  h.Answer(FriendsAnswer(friends));
}
