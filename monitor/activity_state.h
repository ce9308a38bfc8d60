// The activity state: what the fetched counters and user records mean to the rest of the
// add-in.
#pragma once

#include "facebook/facebook_records.h"

// Derives wBirthdayMonth and wBirthdayDay from strBirthday ("November 3", "Mar 5, 1980").
// The first word names the month by its first three letters, any case; a word that names
// none leaves the month as it was. The second word's leading number is the day; a missing
// word or a value outside 1-31 gives 0. An empty text changes nothing. True when both the
// month and the day are known.
bool ParseBirthday(UserInfo& info);
