// Fills the three entry lists according to the run mode.
#pragma once

#include <cstdint>

// Statuses of LoadEntries besides those passed through from the database.
inline constexpr int32_t kStatusBadInput = 91;  // unknown mode, lists of unequal length

// *GEN: general settings through the settings file and the database;
// *STO: the active location numbers. Returns 0 with ValueList, TypeList
// and NameList holding equally many entries, or the failing status.
int32_t LoadEntries();
