// Process-wide state of one run. Run control sets it; the other subsystems
// read it (and the script engine also writes RunStatus).
#pragma once

#include <cstdint>
#include <string>

#include "support/string_list.h"

struct QXSocket;

extern std::string UserName;      // first argument, at most 50 characters
extern std::string TerminalName;  // second argument, at most 255 characters
extern std::string RunMode;       // third argument, upper-cased, at most 4 characters
extern bool DebugMode;            // on when the fourth argument is "/D" (any case)
extern std::string SchemaName;    // "Qxsystem", upper-cased by DbConnect
extern int32_t RunStatus;         // status of the latest step that reports one
extern QXSocket* TerminalConnection;  // the run's one terminal connection, or null

// The three parallel entry lists: entry i of the three is one setting
// (type, name, value). A list that was never created is null and empty.
extern StringList* ValueList;
extern StringList* TypeList;
extern StringList* NameList;
