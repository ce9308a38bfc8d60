// The activity state: what the fetched counters and user records mean to the rest of the
// add-in, and the signature by which the drop-down notices that any of it changed.
//
// The state itself lives in the REST client under its lock (the client's polls fill it);
// the functions here that read or change it take that lock themselves and hand out copies.
#pragma once

#include <string>
#include <string_view>

#include "facebook/facebook_records.h"

class CFacebookClient;
class IClock;

// The month's three-letter abbreviation in lower case, "jan" to "dec", as birthdays are
// matched and queried by; a month below 1 gives "jan", above 12 "dec".
std::wstring_view MonthAbbrev(int month);

// Derives wBirthdayMonth and wBirthdayDay from strBirthday ("November 3", "Mar 5, 1980").
// The first word names the month by its first three letters, any case; a word that names
// none leaves the month as it was. The second word's leading number is the day; a missing
// word or a value outside 1-31 gives 0. An empty text changes nothing. True when both the
// month and the day are known.
bool ParseBirthday(UserInfo& info);

// True when the birthday's month and day are both known and are today's in the user's time
// zone; the year plays no part.
bool IsBirthdayToday(const UserInfo& info, IClock& clock);

// "messages|pokes|shares|friend requests|group invitations|event invitations|new wall
// posts" as decimal numbers. The wall count itself is not shown anywhere, so it is left out.
std::wstring FormatCounts(const ActivityCounts& counts);
// "name|status text|status time", each field written as "<length>:<text>" so that no text
// can pass for a separator or for the next field ("4:Dave|0:|0:"). An absent field is an
// empty one.
std::wstring FormatStatus(const UserInfo& info);

// One text that changes whenever anything the drop-down shows changes, and that no two
// different states share: the own status, "|", the counts, then "|" and the status of every
// listed friend in list order (so a reorder changes it too). Uids, birthday texts, the wall
// count and the date are left out. Built under the client's lock; never leaves the process.
std::wstring BuildActivitySignature(const CFacebookClient& client);

// The user has looked at the new wall posts: their number goes back to 0, while the wall
// count stays the baseline for the next growth. Under the client's lock.
void ResetNewWallPosts(CFacebookClient& client);
