// Assembly of the *GEN entry lists from the settings file and the database.
#pragma once

#include <string>

// Settings file name for the current DbSystemName: "./VELQUARD.<name>.INI".
std::string SettingsFileName();

// Builds ValueList from the first row of the [REGVAL] statement. Returns 0;
// 3 when [REGVAL] yields no piece; the statement's error status; 1032 when
// it yields no row; -1 when it yields no result set.
int BuildValueList();

// Builds TypeList from [TYPE] / NameList from [NAME]. Returns 0, or 3 when
// the section yields no value.
int BuildTypeList();
int BuildNameList();
