#include "app/run.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/load_entries.h"
#include "app/run_state.h"
#include "db/db_connection.h"
#include "db/terminal_status.h"
#include "support/run_log.h"
#include "support/string_list.h"
#include "terminal/command_script.h"
#include "terminal/qx_socket.h"
#include "terminal/registry_transfer.h"

namespace {

void DebugPrint(const char* text) {
  if (DebugMode) std::fputs(text, stdout);
}

void LogFormatted(const char* text) { WriteLog(LogPath, text); }

// Refuses a bad command line: message on standard output, abort text in the log.
int RefuseCommandLine(const char* printed, const char* logged) {
  std::fputs(printed, stdout);
  WriteLog(LogPath, logged);
  return kExitBadCommandLine;
}

int CheckCommandLine(int argc, char** argv) {
  if (argc - 1 < 3) {
    return RefuseCommandLine("fehlender Parameter\n", "falsche Parameteranzahl --> Abbruch");
  }
  if (std::strlen(argv[1]) > 50) {
    return RefuseCommandLine("Benutzername zu lang !!!\n", "Benutzername zu lang --> Abbruch");
  }
  UserName = argv[1];
  if (std::strlen(argv[2]) > 255) {
    return RefuseCommandLine("Terminalname zu lang !!!\n", "Terminalname zu lang --> Abbruch");
  }
  TerminalName = argv[2];
  if (std::strlen(argv[3]) > 4) {
    return RefuseCommandLine("falscher Modus !!!\n", "falscher Modus --> Abbruch");
  }
  std::string mode = argv[3];
  StrUpper(mode.data());
  RunMode = mode;
  if (argc - 1 >= 4) {
    std::string debugSwitch = argv[4];
    StrUpper(debugSwitch.data());
    if (debugSwitch == "/D") DebugMode = true;
  }
  return 0;
}

// The terminal could not be reached: record the error number in its row and
// mark the transfer as ended.
void RecordConnectFailure(int32_t error) {
  LogFormatted(FormatMessage("Socket-Error : %d", error));
  if (DebugMode) std::printf("Socket-Error: %d\n", error);
  RunStatus = TrmDownloadState(TerminalName.c_str(), GetTimeStamp("yyyymmddhhminss"), error, 0);
  TrmDownloadEnd(TerminalName.c_str(), GetTimeStamp("yyyymmddhhminss"));
  if (RunStatus != 0 && DebugMode) {
    std::printf("Schreiben in Tab Qxs1140Trm fehlgeschlagen, Error: %d\n", RunStatus);
  }
}

// Creates, resolves and opens the terminal connection, then transfers.
void ContactTerminal() {
  int32_t error = 0;
  TerminalConnection = SocketCreate(&error);
  if (TerminalConnection == nullptr) {
    LogFormatted(FormatMessage("Fehler beim Erzeugen Socket : %d", error));
    if (DebugMode) std::printf("Socket-Error: %d\n", error);
    RecordConnectFailure(error);
    return;
  }
  error = SocketResolve(TerminalConnection, TerminalName.c_str());
  if (error != 0) {
    std::fputs("Terminal nicht gefunden!\n", stdout);
    RecordConnectFailure(error);
    return;
  }
  SocketSetPort(TerminalConnection, kTerminalPort);
  error = SocketSetTimeout(TerminalConnection, kTerminalTimeoutSeconds);
  if (error != 0) {
    RecordConnectFailure(error);
    return;
  }
  DebugPrint("Start Socket\n\n");
  if (SocketOpen(TerminalConnection) != 0) {
    error = SocketError(TerminalConnection);
    if (DebugMode) std::printf("SocketOpen-Error: %d", error);
    RecordConnectFailure(error);
    return;
  }
  SendRegistry();
}

int EndRun() {
  RunStatus = TrmDownloadEnd(TerminalName.c_str(), GetTimeStamp("yyyymmddhhminss"));
  if (RunStatus != 0 && DebugMode) {
    std::printf("\nSchreiben in Tab Qxs1140Trm fehlgeschlagen, Error: %d\n", RunStatus);
  }
  DbCommit();
  if (TerminalConnection != nullptr) {
    SocketClose(TerminalConnection);
    SocketFree(TerminalConnection);
    TerminalConnection = nullptr;
  }
  ListFree(&CommandScript);
  ListFree(&ValueList);
  ListFree(&TypeList);
  ListFree(&NameList);
  if (!LastReply.empty() && LastReply.compare(0, 3, "250") != 0 &&
      LastReply.compare(0, 3, "200") != 0 && LastReply.size() > 3) {
    LastReply.resize(3);
  }
  WriteLog(LogPath, "Programm beendet");
  std::printf("%s\n", LastReply.c_str());
  return 0;
}

}  // namespace

int ExitStatusFor(int32_t status) {
  int low = static_cast<int>(static_cast<uint32_t>(status) & 0xFFu);
  if (status != 0 && low == 0) return 255;
  return low;
}

int RunVelqreg(int argc, char** argv) {
  LogPath = kLogPathText;
  LogBackupPath = kLogBackupPathText;
  WriteLog(LogPath, "\n\n========================================>");
  LogFormatted(FormatMessage("Start : %s", GetTimeStamp("ddmmyyyyhhminss")));

  int refused = CheckCommandLine(argc, argv);
  if (refused != 0) return refused;

  SchemaName = "Qxsystem";
  RunStatus = DbConnect();
  if (RunStatus != 0) {
    LogFormatted(FormatMessage("DbConnect-Fehler %d   --> Abbruch", RunStatus));
    return ExitStatusFor(RunStatus);
  }
  DebugPrint("DbConnect\n");

  RunStatus = LoadEntries();
  if (RunStatus != 0) return ExitStatusFor(RunStatus);

  RunStatus = TrmDownloadStart(TerminalName.c_str(), GetTimeStamp("yyyymmddhhminss"),
                               UserName.c_str(), kTransferName, kTransferType);
  if (RunStatus != 0) {
    LogFormatted(FormatMessage("Fehler Schreiben Qxs1140Trm : %d\n", RunStatus));
    if (DebugMode) {
      std::printf("Schreiben in Tab Qxs1140Trm fehlgeschlagen, Error: %d\n", RunStatus);
    }
  }

  ContactTerminal();
  return EndRun();
}
