// The module's string table (ids 100 to 129). The ids and texts are listed once, in
// string_table.def.in.
#pragma once

#include <string>

enum StringId : unsigned {
#define ZENLET_STRING(name, id, text) name = (id),
#include "string_table.def"
#undef ZENLET_STRING
};

// The text of string `id`; empty when the table has no such string.
std::wstring LoadText(unsigned id);
