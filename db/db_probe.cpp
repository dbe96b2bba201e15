// Test helper: one database step in a process of its own, so that a test
// can watch a failed connection from the outside or see what stays in the
// database after a process ends without committing.
//
//   db_probe connect [/D]
//   db_probe start TERMINAL USER
//   db_probe start-state TERMINAL USER STATUS
//   db_probe exec SQL
//
// Runs in a working folder laid out as for the tool (login file at
// ../../Files/Orvantis.Ini). Writes "connect=N", "dbsystem=...", and for the
// steps after the connection "step=N" to standard error; standard output
// is what the steps print.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/run_state.h"
#include "db/db_connection.h"
#include "db/terminal_status.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string mode = argv[1];
  SchemaName = "Qxsystem";
  DebugMode = mode == "connect" && argc > 2 && std::strcmp(argv[2], "/D") == 0;
  int connect = DbConnect();
  std::fflush(stdout);
  std::fprintf(stderr, "connect=%d\ndbsystem=%s\nschema=%s\n", connect, DbSystemName.c_str(),
               SchemaName.c_str());
  if (connect != 0 || mode == "connect") return 0;

  int step = -2;
  if (mode == "start" && argc == 4) {
    step = TrmDownloadStart(argv[2], "20240102030405", argv[3], "Registry", 40);
  } else if (mode == "start-state" && argc == 5) {
    step = TrmDownloadStart(argv[2], "20240102030405", argv[3], "Registry", 40);
    if (step == 0) {
      step = TrmDownloadState(argv[2], "20240102030406", static_cast<int32_t>(std::atol(argv[4])), 0);
    }
  } else if (mode == "exec" && argc == 3) {
    LocalQuery query(argv[2]);
    step = DbExecute(query.q);
  } else {
    return 2;
  }
  std::fprintf(stderr, "step=%d\n", step);
  // Ends without DbCommit: whatever was not committed is rolled back.
  return 0;
}
