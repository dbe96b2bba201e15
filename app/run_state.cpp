#include "app/run_state.h"

std::string UserName;
std::string TerminalName;
std::string RunMode;
bool DebugMode = false;
std::string SchemaName;
int32_t RunStatus = 0;
QXSocket* TerminalConnection = nullptr;

StringList* ValueList = nullptr;
StringList* TypeList = nullptr;
StringList* NameList = nullptr;
