#include "terminal/command_script.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/run_state.h"
#include "db/terminal_status.h"
#include "support/run_log.h"
#include "terminal/qx_socket.h"

StringList* CommandScript = nullptr;
int32_t ScriptIndex = 0;
char ReplyBuffer[kReplyBufferSize + 1];
std::string LastReply;

namespace {

// The stand-in for a reply whose text is empty.
constexpr const char* kNoReplyText = " 99keine Antwort  ";
// The code of a reply that carries none.
constexpr int32_t kNoReplyCode = 99;
// A reply is logged with at most this many characters.
constexpr int kLoggedReplyLimit = 190;
// Lines containing these are login lines and never echoed in clear.
constexpr const char* kMaskedWords[] = {"USER", "PASS"};

std::string TextWithoutLineEnd(const char* text) {
  size_t length = std::strlen(text);
  return length < 2 ? std::string() : std::string(text, length - 2);
}

void LogReceived(int n) {
  int keep = n <= kLoggedReplyLimit ? n - 2 : kLoggedReplyLimit;
  if (n == 1) keep = 1;  // a one-byte reply is logged whole
  size_t textLength = std::strlen(ReplyBuffer);
  size_t shown = keep < 0 ? 0 : static_cast<size_t>(keep);
  if (shown > textLength) shown = textLength;
  std::string record = "   ";
  record.append(ReplyBuffer, shown);
  WriteLog(LogPath, record.c_str());
}

// The code of an unexpected reply: the decimal number at the start of
// LastReply. A reply without digits (or with 000) counts as code 99, so a
// failed login is never taken for success.
int32_t ReplyCode() {
  int32_t code = static_cast<int32_t>(std::strtol(LastReply.c_str(), nullptr, 10));
  return code == 0 ? kNoReplyCode : code;
}

int32_t Mismatch() {
  if (ReplyBuffer[0] == '\0') std::strcpy(ReplyBuffer, kNoReplyText);
  size_t length = std::strlen(ReplyBuffer);
  LastReply.assign(ReplyBuffer, length < 3 ? length : 3);
  if (length >= 2 && length <= 4) LastReply.resize(length - 2);
  int32_t code = ReplyCode();
  WriteLog(LogPath, FormatMessage("   unerwartete Antwort v. Terminal : %d", code));
  RunStatus = TrmDownloadState(TerminalName.c_str(), GetTimeStamp("yyyymmddhhminss"), code, 0);
  if (RunStatus != 0 && DebugMode) {
    std::printf("Schreiben in Tab Qxs1140Trm fehlgeschlagen, Error: %d\n", RunStatus);
  }
  ++ScriptIndex;
  return code;
}

int32_t ReadFailure() {
  int32_t error = SocketError(TerminalConnection);
  WriteLog(LogPath, FormatMessage("   Socket-Error Lesen : %d", error));
  if (DebugMode) std::printf("Read-Error: %d\n", error);
  return error;
}

int32_t WriteFailure() {
  int32_t error = SocketError(TerminalConnection);
  WriteLog(LogPath, FormatMessage("   Socket-Error Schreiben : %d", error));
  std::printf("Write Error: %d\n", error);
  return error;
}

void EchoSent(const std::string& line) {
  bool masked = false;
  for (const char* word : kMaskedWords) masked = masked || line.find(word) != std::string::npos;
  if (masked) {
    std::printf("An Terminal gesendet: %s\n", (line.substr(0, 5) + "**********").c_str());
  } else {
    std::printf("An Terminal gesendet: %s", line.c_str());
  }
}

bool SameCode(const char* reply, const char* entry) {
  return std::strlen(reply) >= 3 && std::strlen(entry) >= 3 && std::memcmp(reply, entry, 3) == 0;
}

}  // namespace

int32_t RunScript(int substitute) {
  // A cursor past the end has nothing left to compare a reply with.
  if (ScriptIndex < 0 || ScriptIndex >= ListCount(CommandScript)) return 0;
  bool substituted = substitute != 0;
  for (;;) {
    std::memset(ReplyBuffer, 0, sizeof ReplyBuffer);
    if (substituted) {
      std::memcpy(ReplyBuffer, "200", 3);
      substituted = false;
    } else {
      int n = SocketRead(TerminalConnection, ReplyBuffer, kReplyBufferSize, 3);
      if (n <= 0) return ReadFailure();
      ReplyBuffer[n] = '\0';
      LogReceived(n);
      if (DebugMode) std::printf("Terminalantwort: %s", ReplyBuffer);
    }
    LastReply = TextWithoutLineEnd(ReplyBuffer);

    if (!SameCode(ReplyBuffer, CommandScript->items[ScriptIndex])) return Mismatch();

    ++ScriptIndex;
    if (ScriptIndex >= ListCount(CommandScript)) return 0;

    std::string line = CommandScript->items[ScriptIndex] + 3;
    line += "\r\n";
    if (SocketWrite(TerminalConnection, line.data(), static_cast<int>(line.size()), 1) == -1) {
      return WriteFailure();
    }
    if (DebugMode) EchoSent(line);
  }
}
