// Reports from the server: key:value lines into the state record.
//
// A key is its exact bytes, colon included, found anywhere in the answer; its
// value runs from right after the key's first occurrence to the next CR LF.
#pragma once

#include <string_view>

// Stores the values of the known keys found in one complete answer (prompt
// included, possibly several answers at once) into the state record.
void read_report(std::string_view answer);

// 1 for exactly "enabled", 0 for anything else.
int parse_switch(std::string_view value);
