// Answers to the polls of one Facebook check, as the service gives them, for tests that
// watch what the polls leave in the client.
#pragma once

#include <string>
#include <vector>

#include "tests/facebook/client_harness.h"

struct FriendStatus {
  std::string strName;
  std::string strMessage;
  std::string strTime;
};

// The real notifications answer: 1 unread message, 1 share, 3 friend requests.
std::string NotificationsAnswer();
// The own record of user 8055 ("Dave") with `wallCount`, and a status when one is given.
std::string OwnRecordAnswer(int wallCount, const std::string& status = "",
                            const std::string& statusTime = "");
// The friends answer, one user per entry in order; uids count from 1.
std::string FriendsAnswer(const std::vector<FriendStatus>& friends);

// Queues the three answers of one check: notifications, own record, friends.
void AnswerCheck(ClientHarness& h, int wallCount, const std::vector<FriendStatus>& friends = {});
