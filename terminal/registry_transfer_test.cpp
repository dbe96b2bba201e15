// CRC-16 and whole settings transfers to the terminal simulator.
#include "terminal/registry_transfer.h"

#include <boost/crc.hpp>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/run_state.h"
#include "support/run_log.h"
#include "support/string_list.h"
#include "terminal/command_script.h"
#include "terminal/qx_socket.h"
#include "tests/kit/temp_dir.h"
#include "db/db_connection.h"
#include "tests/kit/test_db.h"
#include "tests/kit/velqterm_process.h"

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

TEST(Crc16Test, CheckValues) {
  struct Case {
    std::string data;
    uint16_t start;
    uint16_t crc;
  };
  const Case cases[] = {
      {"123456789", 0, 0xBB3D},
      {"abc", 0, 0x9738},
      {"", 0, 0},
      {"", 0x1234, 0x1234},
      {"STRING StoNr1 4711", 0, 0x360C},
      {"STRING StoNr1 0", 0, 0x6294},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Crc16(c.data.data(), c.data.size(), c.start), c.crc) << c.data;
  }
  EXPECT_EQ(Crc16Update(0x61, 0), 0xE8C1);
  EXPECT_EQ(Crc16("456789", 6, Crc16("123", 3, 0)), 0xBB3D) << "a CRC continues over pieces";
}

TEST(Crc16Test, AgreesWithBoostOverRandomData) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 500; ++round) {
    std::vector<unsigned char> data(random() % 300);
    for (unsigned char& byte : data) byte = static_cast<unsigned char>(random());
    boost::crc_16_type oracle;
    oracle.process_bytes(data.data(), data.size());
    ASSERT_EQ(Crc16(data.data(), data.size(), 0), oracle.checksum()) << "length " << data.size();
  }
}

std::string UpdLine(const std::string& payload) {
  char head[32];
  std::snprintf(head, sizeof head, "UPDSYSDB %x %zu ",
                static_cast<unsigned>(Crc16(payload.data(), payload.size(), 0)), payload.size());
  return head + payload;
}

struct Entry {
  std::string type, name, value;
};

class TransferTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { ConnectRunDatabase(); }

  void SetUp() override {
    ListFree(&CommandScript);
    ListFree(&ValueList);
    ListFree(&TypeList);
    ListFree(&NameList);
    ScriptIndex = 0;
    LastReply.clear();
    RunStatus = 0;
    DebugMode = false;
    TerminalName = NewTerminalRow("VQT");
    LogPath = dir_.File("VelqLog.txt");
    LogBackupPath = dir_.File("VelqLog.bak");
    std::remove(LogPath.c_str());
  }

  void TearDown() override {
    if (TerminalConnection != nullptr) SocketFree(TerminalConnection);
    TerminalConnection = nullptr;
    ListFree(&CommandScript);
    ListFree(&ValueList);
    ListFree(&TypeList);
    ListFree(&NameList);
  }

  void Entries(const std::vector<Entry>& entries) {
    for (const Entry& e : entries) {
      ListAdd(&TypeList, e.type.c_str());
      ListAdd(&NameList, e.name.c_str());
      ListAdd(&ValueList, e.value.c_str());
    }
  }

  // Opens the run's connection to the simulator and runs the transfer;
  // gives what was printed.
  std::string Transfer(const VelqtermProcess& terminal, int timeout) {
    int32_t error = 0;
    TerminalConnection = SocketCreate(&error);
    EXPECT_NE(TerminalConnection, nullptr);
    SocketSetAddr(TerminalConnection, terminal.address().c_str());
    SocketSetPort(TerminalConnection, terminal.port());
    SocketSetTimeout(TerminalConnection, timeout);
    EXPECT_EQ(SocketOpen(TerminalConnection), 0);
    testing::internal::CaptureStdout();
    SendRegistry();
    std::string out = testing::internal::GetCapturedStdout();
    SocketClose(TerminalConnection);
    return out;
  }

  std::string Log() const { return ReadFileBytes(LogPath); }

  TempDir dir_;
};

TEST_F(TransferTest, FullTransferSendsLoginAndOneCommandPerEntry) {
  VelqtermProcess terminal({}, "127.0.0.2");
  ASSERT_TRUE(terminal.ready());
  Entries({{"STRING", "StoNr1", "4711"}, {"STRING", "StoNr1", ""}, {"DWORD", "Limit", "12"}});
  EXPECT_EQ(Transfer(terminal, 2), "");
  ASSERT_EQ(terminal.WaitForExit(5), 0);

  const std::string third = UpdLine("DWORD Limit 12");
  EXPECT_EQ(terminal.ReceivedLines(),
            (std::vector<std::string>{"USER Supervisor", "PASS m3p8w2r6t1hjcv",
                                      "UPDSYSDB 360c 18 STRING StoNr1 4711",
                                      "UPDSYSDB 6294 15 STRING StoNr1 0", third}));
  EXPECT_EQ(terminal.AcceptedSettings(),
            (std::vector<std::string>{"STRING\tStoNr1\t4711", "STRING\tStoNr1\t0", "DWORD\tLimit\t12"}));
  EXPECT_STREQ(ValueList->items[1], "0") << "the empty value is set to 0 in the list itself";
  EXPECT_EQ(Log(),
            "-->Registry schreiben: \n"
            "   200 velqterm ready\n"
            "   331 password required\n"
            "   230 logged in\n"
            "an Terminal " + TerminalName + ": 200UPDSYSDB 360c 18 STRING StoNr1 4711\n"
            "   200 OK\n"
            "an Terminal " + TerminalName + ": 200UPDSYSDB 6294 15 STRING StoNr1 0\n"
            "   200 OK\n"
            "an Terminal " + TerminalName + ": 200" + third + "\n"
            "   200 OK\n");
  EXPECT_EQ(ListCount(CommandScript), 9);
  EXPECT_EQ(ScriptIndex, 9);
  EXPECT_EQ(LastReply, "200 OK");
}

TEST_F(TransferTest, MisbehavingTerminals) {
  const std::string a = UpdLine("STRING A 1"), b = UpdLine("STRING B 2"), c = UpdLine("STRING C 3");
  const std::string longValue(85, 'v');   // payload 96: fits, but not the command entry
  const std::string hugeValue(100, 'w');  // payload over 99
  struct Case {
    const char* name;
    std::vector<std::string> options;
    std::vector<Entry> entries;
    std::vector<std::string> received;
    std::string printed;
    int32_t rowStatus;  // -1: the row is not changed
    std::string logHas;
  };
  const std::vector<Entry> three = {{"STRING", "A", "1"}, {"STRING", "B", "2"}, {"STRING", "C", "3"}};
  const Case cases[] = {
      {"password refused with 530", {"--reply", "2=530:login incorrect"}, three,
       {"USER Supervisor", "PASS m3p8w2r6t1hjcv"}, "Anmeldung an Term. fehlgeschlagen, Fehler 530", 530,
       "   530 login incorrect\n   unerwartete Antwort v. Terminal : 530\n"
       "Anmeldung an Term. fehlgeschlagen, Fehler 530\n"},
      {"greeting without a code", {"--greeting", "hello"}, three, {},
       "Anmeldung an Term. fehlgeschlagen, Fehler 99", 99,
       "   hello\n   unerwartete Antwort v. Terminal : 99\n"},
      {"no greeting", {"--no-greeting"}, three, {}, "Anmeldung an Term. fehlgeschlagen, Fehler 10035", -1,
       "   Socket-Error Lesen : 10035\nAnmeldung an Term. fehlgeschlagen, Fehler 10035\n"},
      {"second command answered with 555", {"--reply", "4=555:nope"}, three,
       {"USER Supervisor", "PASS m3p8w2r6t1hjcv", a, b, c}, "", 555,
       "   555 nope\n   unerwartete Antwort v. Terminal : 555\nan Terminal @T: 200" + c +
           "\n   200 OK\n"},
      {"closes after the second command", {"--close-after", "4"}, three,
       {"USER Supervisor", "PASS m3p8w2r6t1hjcv", a, b}, "", -1,
       "an Terminal @T: 200" + b + "\n   Socket-Error Lesen : 10035\n"},
      {"oversize entries are skipped", {}, {{"STRING", "A", "1"}, {"STRING", "Long", longValue},
       {"STRING", "Huge", hugeValue}, {"STRING", "C", "3"}},
       {"USER Supervisor", "PASS m3p8w2r6t1hjcv", a, c}, "", 91,
       "   Eintrag zu lang, nicht gesendet: Long\n   Eintrag zu lang, nicht gesendet: Huge\n"
       "an Terminal @T: 200" + c + "\n   200 OK\n"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SetUp();
    std::string rowBefore = RowStatus(TerminalName);
    VelqtermProcess terminal(k.options, "127.0.0.3");
    ASSERT_TRUE(terminal.ready());
    Entries(k.entries);
    EXPECT_EQ(Transfer(terminal, 1), k.printed);
    terminal.WaitForExit(5);
    EXPECT_EQ(terminal.ReceivedLines(), k.received);
    EXPECT_EQ(RowStatus(TerminalName), k.rowStatus == -1 ? rowBefore : std::to_string(k.rowStatus));
    std::string logHas = k.logHas;  // @T stands for this case's terminal name
    for (size_t at; (at = logHas.find("@T")) != std::string::npos;) logHas.replace(at, 2, TerminalName);
    std::string log = Log();
    EXPECT_NE(log.find(logHas), std::string::npos) << log;
    TearDown();
  }
}

TEST_F(TransferTest, SkippedEntryKeepsTheScriptInStep) {
  VelqtermProcess terminal({});
  ASSERT_TRUE(terminal.ready());
  Entries({{"STRING", "Huge", std::string(120, 'x')}, {"STRING", "A", "1"}});
  Transfer(terminal, 1);
  EXPECT_EQ(ListCount(CommandScript), 5) << "nothing is appended for the skipped entry";
  EXPECT_EQ(ScriptIndex, 5);
  EXPECT_EQ(LastReply, "200 OK");
}

TEST_F(TransferTest, EmptyListSendsOnlyTheLogin) {
  VelqtermProcess terminal({});
  ASSERT_TRUE(terminal.ready());
  EXPECT_EQ(Transfer(terminal, 1), "");
  terminal.WaitForExit(5);
  EXPECT_EQ(terminal.ReceivedLines(), (std::vector<std::string>{"USER Supervisor", "PASS m3p8w2r6t1hjcv"}));
  EXPECT_EQ(ListCount(CommandScript), 3);
  EXPECT_EQ(LastReply, "230 logged in");
}

}  // namespace
