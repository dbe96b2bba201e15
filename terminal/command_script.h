// The command script engine: expected reply codes and the lines to send.
#pragma once

#include <cstdint>
#include <string>

#include "support/string_list.h"

inline constexpr int kReplyBufferSize = 2000;

// Entries: three characters of expected code followed by the command text.
extern StringList* CommandScript;
// Index of the entry the next reply is compared with.
extern int32_t ScriptIndex;
// The latest reply's bytes and a terminating NUL.
extern char ReplyBuffer[kReplyBufferSize + 1];
// The latest reply without its line end (cut further after a mismatch).
extern std::string LastReply;

// Runs the script from ScriptIndex. With substitute non-zero the first reply
// is the text "200" instead of a read. Returns 0 when the script is used up,
// the code of an unexpected reply, or the connection's stored error number
// when a read or a send failed.
int32_t RunScript(int substitute);
