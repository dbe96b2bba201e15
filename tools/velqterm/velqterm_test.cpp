// The terminal simulator's own behaviour, driven over loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "terminal/loopback_peer.h"
#include "tests/kit/process.h"
#include "tests/kit/velqterm_process.h"

namespace {

// A plain client: connects, reads the greeting, then sends lines.
class Client {
 public:
  explicit Client(const VelqtermProcess& terminal) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(terminal.port()));
    inet_pton(AF_INET, terminal.address().c_str(), &at.sin_addr);
    connected_ = ::connect(fd_.get(), reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
  }
  bool connected() const { return connected_; }
  // Everything that arrives within the given milliseconds after the last byte.
  std::string Read(int quietMs = 300) {
    std::string got;
    char chunk[512];
    for (;;) {
      pollfd entry{fd_.get(), POLLIN, 0};
      if (::poll(&entry, 1, quietMs) != 1) return got;
      ssize_t n = ::recv(fd_.get(), chunk, sizeof chunk, 0);
      if (n <= 0) return got + (n == 0 ? "<closed>" : "<reset>");
      got.append(chunk, static_cast<size_t>(n));
    }
  }
  std::string Ask(const std::string& line) {
    std::string bytes = line + "\r\n";
    ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    return Read();
  }

 private:
  Fd fd_;
  bool connected_ = false;
};

TEST(VelqtermTest, AnswersLoginAndChecksUpdates) {
  VelqtermProcess terminal({});
  ASSERT_TRUE(terminal.ready());
  Client client(terminal);
  ASSERT_TRUE(client.connected());
  EXPECT_EQ(client.Read(), "200 velqterm ready\r\n");
  struct Step {
    std::string line, reply;
  };
  const Step steps[] = {
      {"UPDSYSDB 360c 18 STRING StoNr1 4711", "530 not logged in\r\n"},
      {"USER Admin", "530 unknown user\r\n"},
      {"PASS m3p8w2r6t1hjcv", "530 login incorrect\r\n"},
      {"USER Supervisor", "331 password required\r\n"},
      {"PASS wrong", "530 login incorrect\r\n"},
      {"USER Supervisor", "331 password required\r\n"},
      {"PASS m3p8w2r6t1hjcv", "230 logged in\r\n"},
      {"UPDSYSDB 360c 18 STRING StoNr1 4711", "200 OK\r\n"},
      {"UPDSYSDB 360C 18 STRING StoNr1 4711", "501 CRC error\r\n"},
      {"UPDSYSDB 0360c 18 STRING StoNr1 4711", "501 CRC error\r\n"},
      {"UPDSYSDB 360c 17 STRING StoNr1 4711", "501 length error\r\n"},
      {"UPDSYSDB 6294 15 STRING StoNr1 0", "200 OK\r\n"},
      {"UPDSYSDB 360c", "501 syntax error\r\n"},
      {"", "200 empty line ignored\r\n"},
      {"HELLO", "500 unknown command\r\n"},
  };
  for (const Step& s : steps) EXPECT_EQ(client.Ask(s.line), s.reply) << s.line;
  std::vector<std::string> lines;
  for (const Step& s : steps) lines.push_back(s.line);
  EXPECT_EQ(terminal.ReceivedLines(), lines);
  EXPECT_EQ(terminal.AcceptedSettings(),
            (std::vector<std::string>{"STRING\tStoNr1\t4711", "STRING\tStoNr1\t0"}));
}

TEST(VelqtermTest, MisbehavesOnRequest) {
  struct Case {
    const char* name;
    std::vector<std::string> options;
    std::string greeting;
    std::string firstReply;  // to "USER Supervisor"
  };
  const Case cases[] = {
      {"no greeting", {"--no-greeting"}, "", "331 password required\r\n"},
      {"raw greeting", {"--raw-greeting", "\\x00ab\\r\\n"}, std::string("\0ab\r\n", 5), "331 password required\r\n"},
      {"reply with code", {"--reply", "1=599:odd reply"}, "200 velqterm ready\r\n", "599 odd reply\r\n"},
      {"raw reply", {"--raw-reply", "1=5"}, "200 velqterm ready\r\n", "5"},
      {"greeting replaced", {"--reply", "0=421"}, "421\r\n", "331 password required\r\n"},
      {"split replies", {"--split-replies", "100"}, "200 velqterm ready\r\n", "331 password required\r\n"},
      {"close after", {"--close-after", "1"}, "200 velqterm ready\r\n", "<closed>"},
      {"reset after", {"--reset-after", "1"}, "200 velqterm ready\r\n", "<reset>"},
  };
  for (const Case& c : cases) {
    VelqtermProcess terminal(c.options);
    ASSERT_TRUE(terminal.ready()) << c.name;
    Client client(terminal);
    ASSERT_TRUE(client.connected()) << c.name;
    EXPECT_EQ(client.Read(), c.greeting) << c.name;
    EXPECT_EQ(client.Ask("USER Supervisor"), c.firstReply) << c.name;
  }
}

TEST(VelqtermTest, StopsByItselfAndServesTheGivenConnections) {
  VelqtermProcess limited({"--time-limit", "1", "--connections", "2"});
  ASSERT_TRUE(limited.ready());
  {
    Client first(limited);
    EXPECT_EQ(first.Read(), "200 velqterm ready\r\n");
  }
  EXPECT_EQ(limited.WaitForExit(5), 3) << "the time limit came before the second connection";

  VelqtermProcess two({"--connections", "2"});
  ASSERT_TRUE(two.ready());
  for (int i = 0; i < 2; ++i) {
    Client client(two);
    EXPECT_EQ(client.Read(), "200 velqterm ready\r\n");
  }
  EXPECT_EQ(two.WaitForExit(5), 0);
}

TEST(VelqtermTest, RefusesAPortInUse) {
  VelqtermProcess first({});
  ASSERT_TRUE(first.ready());
  ProcessOptions options;
  options.timeLimitSeconds = 10;
  ProcessResult second = RunProcess({std::string(VELQ_BINARY_DIR) + "/velqterm", "--port",
                                     std::to_string(first.port()), "--time-limit", "5"},
                                    options);
  EXPECT_EQ(second.exitStatus, 2);
  EXPECT_NE(second.err.find("cannot listen on 127.0.0.1:" + std::to_string(first.port())), std::string::npos)
      << second.err;
}

TEST(VelqtermTest, PrintsHelp) {
  ProcessOptions options;
  options.timeLimitSeconds = 10;
  ProcessResult help = RunProcess({std::string(VELQ_BINARY_DIR) + "/velqterm", "--help"}, options);
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.out.find("--reply K=CODE[:TEXT]"), std::string::npos);
  ProcessResult bad = RunProcess({std::string(VELQ_BINARY_DIR) + "/velqterm", "--bogus", "1"}, options);
  EXPECT_EQ(bad.exitStatus, 1);
}

}  // namespace
