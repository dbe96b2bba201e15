// The script engine against a terminal played by a loopback thread.
#include "terminal/command_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/run_state.h"
#include "support/run_log.h"
#include "support/string_list.h"
#include "terminal/loopback_peer.h"
#include "terminal/qx_socket.h"
#include "tests/kit/temp_dir.h"
#include "db/db_connection.h"
#include "tests/kit/test_db.h"

namespace {

// The run's database connection to the private test server, and the
// status column (TrmDst) of a terminal row as text ("NULL" when empty).
void ConnectRunDatabase() {
  ASSERT_TRUE(RequireTestDb());
  UseTestDbPort();
  ASSERT_EQ(DbLogon(TestDbUser().c_str(), TestDbPassword().c_str(), "127.0.0.1", "QXSYSTEM"), 0);
}

std::string RowStatus(const std::string& terminal) {
  std::string row = TerminalRow(terminal);
  size_t at = 0;
  for (int column = 0; column < 4 && at != std::string::npos; ++column) at = row.find('\t', at) + 1;
  if (at == 0 || at > row.size()) return "<no row>";
  return row.substr(at, row.find('\t', at) - at);
}

class ScriptEngineTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { ConnectRunDatabase(); }

  void SetUp() override {
    ListFree(&CommandScript);
    ScriptIndex = 0;
    LastReply.clear();
    RunStatus = 0;
    DebugMode = false;
    TerminalName = NewTerminalRow("VQT");
    LogPath = dir_.File("VelqLog.txt");
    LogBackupPath = dir_.File("VelqLog.bak");
  }

  void TearDown() override {
    if (TerminalConnection != nullptr) SocketFree(TerminalConnection);
    TerminalConnection = nullptr;
    ListFree(&CommandScript);
    DebugMode = false;
  }

  void Script(const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) ASSERT_EQ(ListAdd(&CommandScript, entry.c_str()), 1);
  }

  void Connect(int port, int timeout) {
    int32_t error = 0;
    TerminalConnection = SocketCreate(&error);
    ASSERT_NE(TerminalConnection, nullptr);
    SocketSetAddr(TerminalConnection, "127.0.0.1");
    SocketSetPort(TerminalConnection, port);
    SocketSetTimeout(TerminalConnection, timeout);
    ASSERT_EQ(SocketOpen(TerminalConnection), 0);
  }

  std::string Log() const { return ReadFileBytes(LogPath); }

  TempDir dir_;
};

std::string Filled(size_t length) {
  std::string text = "200 ";
  while (text.size() + 2 < length) text += static_cast<char>('a' + text.size() % 26);
  return text + "\r\n";
}

TEST_F(ScriptEngineTest, EachKindOfReplyIsLoggedComparedAndRecorded) {
  const std::string r190 = Filled(190), r191 = Filled(191), r300 = Filled(300);
  struct Case {
    const char* name;
    std::string reply;   // what the terminal sends, then it closes
    std::string logged;  // the record of the reply itself
    std::string lastReply;
    int32_t code;  // 0 for a match
  };
  const Case cases[] = {
      {"greeting with text", "200 terminal ready\r\n", "   200 terminal ready", "200 terminal ready", 0},
      {"one byte", "5", "   5", "5", 5},
      {"CR LF only", "\r\n", "   ", "", 99},
      {"NUL first", std::string("\0" "200 x\r\n", 8), "   ", " 99", 99},
      {"letters first", "hello there\r\n", "   hello there", "hel", 99},
      {"code 000", "000 zero\r\n", "   000 zero", "000", 99},
      {"other code", "530 refused\r\n", "   530 refused", "530", 530},
      {"190 bytes", r190, "   " + r190.substr(0, 188), r190.substr(0, 188), 0},
      {"191 bytes", r191, "   " + r191.substr(0, 190), r191.substr(0, 189), 0},
      {"300 bytes", r300, "   " + r300.substr(0, 190), r300.substr(0, 298), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    std::string rowBefore = RowStatus(TerminalName);
    {
      Listener listener;
      std::jthread peer([&] {
        Fd client = listener.Accept();
        Say(client, c.reply);
      });
      Connect(listener.port(), 1);
      Script({"200"});
      EXPECT_EQ(RunScript(0), c.code);
    }
    EXPECT_EQ(LastReply, c.lastReply);
    EXPECT_EQ(ScriptIndex, 1);
    std::string expectedLog = c.logged + "\n";
    if (c.code != 0) {
      expectedLog += "   unerwartete Antwort v. Terminal : " + std::to_string(c.code) + "\n";
      EXPECT_EQ(RowStatus(TerminalName), std::to_string(c.code));
    } else {
      EXPECT_EQ(RowStatus(TerminalName), rowBefore);
    }
    EXPECT_EQ(Log(), expectedLog);
    TearDown();
    std::remove(LogPath.c_str());
  }
}

TEST_F(ScriptEngineTest, NoGreetingFailsWithTheStoredConnectError) {
  Listener listener;
  Connect(listener.port(), 1);
  Fd client = listener.Accept();
  Script({"200", "331USER Supervisor"});
  EXPECT_EQ(RunScript(0), 10035);
  EXPECT_EQ(ScriptIndex, 0);
  EXPECT_EQ(Log(), "   Socket-Error Lesen : 10035\n");
}

TEST_F(ScriptEngineTest, CursorStaysInStepAcrossATimedOutRead) {
  // The first command's reply comes only after its read has timed out; the
  // engine then sends an empty line and takes the late reply for it.
  LinePeer peer("200 hi\r\n", [](const std::string& line, int, Fd& client) {
    if (line == "USER Supervisor") Say(client, "331 ok\r\n");
    if (line == "UPDSYSDB A") {
      std::this_thread::sleep_for(std::chrono::milliseconds(2500));
      Say(client, "200 late A\r\n");
    }
    if (line.empty()) Say(client, "200 empty\r\n");
    if (line == "UPDSYSDB B") Say(client, "200 B\r\n");
    return true;
  });
  Connect(peer.port(), 1);
  Script({"200", "331USER Supervisor"});
  EXPECT_EQ(RunScript(0), 0);
  EXPECT_EQ(ScriptIndex, 2);
  EXPECT_EQ(LastReply, "331 ok");

  Script({"200", "200UPDSYSDB A"});
  EXPECT_EQ(RunScript(1), 10035);
  EXPECT_EQ(ScriptIndex, 3) << "the cursor stays on the unanswered command";
  EXPECT_EQ(LastReply, "2");

  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  Script({"200", "200UPDSYSDB B"});
  EXPECT_EQ(RunScript(1), 0);
  EXPECT_EQ(ScriptIndex, 6);
  EXPECT_EQ(LastReply, "200 empty");

  SocketClose(TerminalConnection);
  EXPECT_EQ(peer.Lines(), (std::vector<std::string>{"USER Supervisor", "UPDSYSDB A", "", "UPDSYSDB B"}));
  EXPECT_EQ(Log(),
            "   200 hi\n"
            "   331 ok\n"
            "   Socket-Error Lesen : 10035\n"
            "   200 late A\n"
            "   200 empty\n");
}

TEST_F(ScriptEngineTest, EmptyLineAnsweredWithOtherCodeLeavesCommandUnsent) {
  LinePeer peer("", [](const std::string& line, int, Fd& client) {
    if (line.empty()) Say(client, "500 what\r\n");
    return true;
  });
  Connect(peer.port(), 1);
  Script({"200", "200UPDSYSDB A"});
  EXPECT_EQ(RunScript(1), 10035) << "UPDSYSDB A gets no reply";
  EXPECT_EQ(ScriptIndex, 1);
  Script({"200", "200UPDSYSDB B"});
  EXPECT_EQ(RunScript(1), 500);
  EXPECT_EQ(ScriptIndex, 3) << "on the new command, which was not sent";
  EXPECT_EQ(LastReply, "500");
  EXPECT_EQ(RowStatus(TerminalName), "500");
  SocketClose(TerminalConnection);
  EXPECT_EQ(peer.Lines(), (std::vector<std::string>{"UPDSYSDB A", ""}));
}

TEST_F(ScriptEngineTest, WriteFailureIsPrintedAndKeepsTheCursor) {
  Listener listener;
  Connect(listener.port(), 1);
  Fd client = listener.Accept();
  Script({"200", "331USER Supervisor"});
  SocketClose(TerminalConnection);
  testing::internal::CaptureStdout();
  EXPECT_EQ(RunScript(1), 10022);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Write Error: 10022\n");
  EXPECT_EQ(ScriptIndex, 1);
  EXPECT_EQ(Log(), "   Socket-Error Schreiben : 10022\n");
}

TEST_F(ScriptEngineTest, DebugEchoMasksLoginLines) {
  LinePeer peer("200 hi\r\n", [](const std::string& line, int number, Fd& client) {
    const char* replies[] = {"331 a\r\n", "230 b\r\n", "200 c\r\n", "200 d\r\n"};
    (void)line;
    if (number <= 4) Say(client, replies[number - 1]);
    return true;
  });
  Connect(peer.port(), 1);
  Script({"200", "331USER Supervisor", "230PASS m3p8w2r6t1hjcv", "200UPDSYSDB 1 2 plain",
          "200UPDSYSDB 3 4 X USERNAME 1"});
  DebugMode = true;
  testing::internal::CaptureStdout();
  int32_t status = RunScript(0);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out,
            "Terminalantwort: 200 hi\r\n"
            "An Terminal gesendet: USER **********\n"
            "Terminalantwort: 331 a\r\n"
            "An Terminal gesendet: PASS **********\n"
            "Terminalantwort: 230 b\r\n"
            "An Terminal gesendet: UPDSYSDB 1 2 plain\r\n"
            "Terminalantwort: 200 c\r\n"
            "An Terminal gesendet: UPDSY**********\n"
            "Terminalantwort: 200 d\r\n");
  SocketClose(TerminalConnection);
  EXPECT_EQ(peer.Lines(), (std::vector<std::string>{"USER Supervisor", "PASS m3p8w2r6t1hjcv",
                                                    "UPDSYSDB 1 2 plain", "UPDSYSDB 3 4 X USERNAME 1"}));
}

}  // namespace
