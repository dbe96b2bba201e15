// The connection object against real loopback peers.
#include "terminal/qx_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "terminal/loopback_peer.h"
#include "terminal/socket_platform.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A port on 127.0.0.1 with nothing listening.
int ClosedPort() {
  Fd probe(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(probe.get(), reinterpret_cast<sockaddr*>(&at), sizeof at);
  socklen_t size = sizeof at;
  ::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&at), &size);
  return ntohs(at.sin_port);
}

void SendText(const Fd& fd, const std::string& text) {
  ASSERT_EQ(::send(fd.get(), text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

std::string ReceiveUpTo(const Fd& fd, size_t count) {
  std::string got;
  char chunk[256];
  while (got.size() < count) {
    pollfd entry{fd.get(), POLLIN, 0};
    if (::poll(&entry, 1, 2000) != 1) break;
    ssize_t n = ::recv(fd.get(), chunk, sizeof chunk, 0);
    if (n <= 0) break;
    got.append(chunk, static_cast<size_t>(n));
  }
  return got;
}

struct SocketDeleter {
  void operator()(QXSocket* sock) const { SocketFree(sock); }
};
using SocketPtr = std::unique_ptr<QXSocket, SocketDeleter>;

SocketPtr NewSocket() {
  int32_t error = -1;
  SocketPtr sock(SocketCreate(&error));
  EXPECT_NE(sock, nullptr);
  EXPECT_EQ(error, -1) << "the out-parameter is written only on failure";
  return sock;
}

// An object connected to a fresh loopback peer, with the peer's end.
struct Connected {
  Listener listener;
  SocketPtr sock = NewSocket();
  Fd peer;
  explicit Connected(int timeout) {
    SocketSetAddr(sock.get(), "127.0.0.1");
    SocketSetPort(sock.get(), listener.port());
    SocketSetTimeout(sock.get(), timeout);
    opened = SocketOpen(sock.get());
    peer = listener.Accept();
  }
  int32_t opened = -1;
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(QXSocketTest, NewObjectIsClosedAndZeroed) {
  SocketPtr sock = NewSocket();
  EXPECT_STREQ(sock->tag, "QXSocket");
  EXPECT_EQ(sock->handle, -1);
  EXPECT_EQ(SocketError(sock.get()), 0);
  EXPECT_EQ(sock->address, 0u);
  EXPECT_EQ(sock->port, 0);
  EXPECT_EQ(sock->timeout, 0);
  EXPECT_STREQ(sock->addressText, "");
  EXPECT_STREQ(sock->hostName, "");
  EXPECT_EQ(SocketLibraryStarted, 1);
}

TEST(QXSocketTest, RecordWithoutTagIsRefusedAndUntouched) {
  QXSocket fake{};
  std::memcpy(fake.tag, "QXSockeX", 9);
  fake.handle = -1;
  fake.lastError = 4242;
  fake.port = 77;
  char buffer[8];
  struct Case {
    const char* name;
    std::function<int(QXSocket*)> call;
    int expected;
  };
  const Case cases[] = {
      {"SetAddr", [](QXSocket* s) { return SocketSetAddr(s, "127.0.0.1"); }, 10022},
      {"Resolve", [](QXSocket* s) { return SocketResolve(s, "localhost"); }, 10022},
      {"SetPort", [](QXSocket* s) { return SocketSetPort(s, 5010); }, 10022},
      {"SetTimeout", [](QXSocket* s) { return SocketSetTimeout(s, 30); }, 10022},
      {"Open", [](QXSocket* s) { return SocketOpen(s); }, 10022},
      {"Close", [](QXSocket* s) { return SocketClose(s); }, 10022},
      {"Read", [&](QXSocket* s) { return SocketRead(s, buffer, 8, 3); }, -1},
      {"Write", [](QXSocket* s) { return SocketWrite(s, "x", 1, 1); }, -1},
      {"Error", [](QXSocket* s) { return SocketError(s); }, 10022},
      {"Free", [](QXSocket* s) { return SocketFree(s); }, 10022},
  };
  for (const Case& c : cases) {
    QXSocket before = fake;
    EXPECT_EQ(c.call(&fake), c.expected) << c.name;
    EXPECT_EQ(std::memcmp(&before, &fake, sizeof fake), 0) << c.name << " changed the record";
  }
  // A tag without its terminator is not the tag either.
  SocketPtr real = NewSocket();
  real->tag[8] = '!';
  EXPECT_EQ(SocketSetPort(real.get(), 1), 10022);
  real->tag[8] = '\0';
  EXPECT_EQ(SocketSetPort(real.get(), 1), 0);
}

TEST(QXSocketTest, SetAddrAcceptsOnlyUsableDottedAddresses) {
  struct Case {
    const char* text;
    int32_t result;
  };
  const Case cases[] = {
      {"0.0.0.0", 10022},          {"255.255.255.255", 10022}, {"localhost", 10022},
      {"127.000.000.0001", 10022}, {"", 10022},                {"127.0.0.1", 0},
      {"127.000.000.001", 0},
  };
  for (const Case& c : cases) {
    SocketPtr sock = NewSocket();
    EXPECT_EQ(SocketSetAddr(sock.get(), c.text), c.result) << c.text;
    if (c.result == 0) {
      EXPECT_EQ(sock->address, htonl(0x7F000001)) << c.text;
      EXPECT_STREQ(sock->addressText, c.text);
      EXPECT_EQ(SocketError(sock.get()), 0) << c.text;
    } else {
      EXPECT_EQ(sock->address, 0u) << c.text;
      EXPECT_EQ(SocketError(sock.get()), 10022) << c.text;
    }
  }
}

TEST(QXSocketTest, ResolveLooksUpNamesUpTo255Characters) {
  SocketPtr sock = NewSocket();
  ASSERT_EQ(SocketResolve(sock.get(), "localhost"), 0);
  EXPECT_EQ(sock->address, htonl(0x7F000001));
  EXPECT_STREQ(sock->hostName, "localhost");

  // One label of 255 letters cannot be put in a query, so the lookup fails
  // locally (no name server is asked) with a lookup error, not 10022.
  std::string name255(255, 'a');
  int32_t looked = SocketResolve(sock.get(), name255.c_str());
  EXPECT_GE(looked, 11001);
  EXPECT_LE(looked, 11004);
  EXPECT_EQ(SocketError(sock.get()), looked);
  EXPECT_EQ(sock->address, htonl(0x7F000001)) << "a failed lookup keeps the previous address";

  std::string name256(256, 'a');
  EXPECT_EQ(SocketResolve(sock.get(), name256.c_str()), 10022);
  EXPECT_EQ(SocketError(sock.get()), 10022);
  EXPECT_STREQ(sock->hostName, "localhost");
}

TEST(QXSocketTest, OpenWithoutAddressIs10049) {
  SocketPtr sock = NewSocket();
  SocketSetPort(sock.get(), 5010);
  EXPECT_EQ(SocketOpen(sock.get()), 10049);
  EXPECT_EQ(sock->handle, -1);
  EXPECT_EQ(SocketError(sock.get()), 10049);
}

TEST(QXSocketTest, PendingConnectLeaves10035) {
  Connected c(2);
  ASSERT_EQ(c.opened, 0);
  EXPECT_NE(c.sock->handle, -1);
  EXPECT_EQ(SocketError(c.sock.get()), 10035);
  ASSERT_GE(c.peer.get(), 0) << "the peer saw the connection";
}

TEST(QXSocketTest, RefusedConnectIsReportedAtOnce) {
  SocketPtr sock = NewSocket();
  SocketSetAddr(sock.get(), "127.0.0.1");
  SocketSetPort(sock.get(), ClosedPort());
  SocketSetTimeout(sock.get(), 30);
  auto start = Clock::now();
  EXPECT_EQ(SocketOpen(sock.get()), 10061);
  EXPECT_LT(SecondsSince(start), 5.0) << "a refusal must not wait for the 30 s time-out";
  EXPECT_EQ(sock->handle, -1);
  EXPECT_EQ(SocketError(sock.get()), 10061);
}

TEST(QXSocketTest, ReadReturnsOnceTheMinimumHasArrived) {
  Connected c(2);
  ASSERT_EQ(c.opened, 0);
  std::jthread peer([&] {
    SendText(c.peer, "20");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    SendText(c.peer, "0 hello\r\n");
  });
  char buffer[2000];
  int got = SocketRead(c.sock.get(), buffer, 2000, 3);
  peer.join();
  ASSERT_EQ(got, 11) << "two pieces are joined until the minimum is reached";
  EXPECT_EQ(std::string(buffer, 11), "200 hello\r\n");
}

TEST(QXSocketTest, ReadStopsAtSizeWhenMinimumIsLarger) {
  Connected c(2);
  ASSERT_EQ(c.opened, 0);
  SendText(c.peer, "abcdefgh");
  char buffer[8] = {};
  EXPECT_EQ(SocketRead(c.sock.get(), buffer, 4, 10), 4);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_EQ(std::string(buffer + 4, 4), std::string(4, '\0')) << "nothing is written past size";
}

TEST(QXSocketTest, ReadTimeOutsReturnZeroAndKeepTheConnection) {
  struct Case {
    const char* name;
    std::string sent;
  };
  const Case cases[] = {{"nothing arrives", ""}, {"two bytes, then nothing", "20"}};
  for (const Case& k : cases) {
    Connected c(1);
    ASSERT_EQ(c.opened, 0) << k.name;
    if (!k.sent.empty()) SendText(c.peer, k.sent);
    char buffer[2000];
    EXPECT_EQ(SocketRead(c.sock.get(), buffer, 2000, 3), 0) << k.name;
    EXPECT_NE(c.sock->handle, -1) << k.name;
    EXPECT_EQ(SocketError(c.sock.get()), 10035) << k.name << ": a time-out stores nothing";
  }
}

TEST(QXSocketTest, ReadAfterPeerCloseWaitsForTheDeadlineWithoutSpinning) {
  Connected c(2);
  ASSERT_EQ(c.opened, 0);
  SendText(c.peer, "5");
  c.peer.Reset();
  char buffer[2000];
  auto start = Clock::now();
  double cpuBefore = CpuSeconds();
  int got = SocketRead(c.sock.get(), buffer, 2000, 3);
  double wall = SecondsSince(start);
  double cpu = CpuSeconds() - cpuBefore;
  EXPECT_EQ(got, 1) << "the bytes received so far, at the deadline";
  EXPECT_EQ(buffer[0], '5');
  EXPECT_GE(wall, 0.9) << "the close itself does not end the read";
  EXPECT_LT(cpu, wall / 2) << "the wait after the close must not spin the processor";
  EXPECT_NE(c.sock->handle, -1);
  EXPECT_EQ(SocketError(c.sock.get()), 10035);
}

TEST(QXSocketTest, ResetAfterPeerCloseFailsTheRead) {
  Connected c(2);
  ASSERT_EQ(c.opened, 0);
  std::jthread peer([&] {
    ::shutdown(c.peer.get(), SHUT_WR);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    c.peer.Abort();
  });
  char buffer[2000];
  EXPECT_EQ(SocketRead(c.sock.get(), buffer, 2000, 3), -1);
  peer.join();
  EXPECT_EQ(c.sock->handle, -1);
  int32_t error = SocketError(c.sock.get());
  EXPECT_TRUE(error == 10054 || error == 10058) << error;
}

TEST(QXSocketTest, WriteReturnsAcceptedOrRequestedCount) {
  Connected c(2);
  ASSERT_EQ(c.opened, 0);
  EXPECT_EQ(SocketWrite(c.sock.get(), "USER x\r\n", 8, 0), 8);
  EXPECT_EQ(SocketWrite(c.sock.get(), "PASS y\r\n", 8, 1), 8);
  EXPECT_EQ(ReceiveUpTo(c.peer, 16), "USER x\r\nPASS y\r\n");
}

TEST(QXSocketTest, WriteToAResetPeerFailsWithoutASignal) {
  Connected c(2);
  ASSERT_EQ(c.opened, 0);
  c.peer.Abort();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int result = 0;
  for (int i = 0; i < 3 && result != -1; ++i) result = SocketWrite(c.sock.get(), "x\r\n", 3, 1);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(c.sock->handle, -1);
  int32_t error = SocketError(c.sock.get());
  EXPECT_TRUE(error == 10054 || error == 10058) << error;
}

TEST(QXSocketTest, ClosedObjectRefusesReadAndWriteAndClosesTwice) {
  Connected c(1);
  ASSERT_EQ(c.opened, 0);
  EXPECT_EQ(SocketClose(c.sock.get()), 0);
  EXPECT_EQ(c.sock->handle, -1);
  EXPECT_EQ(SocketClose(c.sock.get()), 0);
  char buffer[8];
  EXPECT_EQ(SocketWrite(c.sock.get(), "x", 1, 1), -1);
  EXPECT_EQ(SocketError(c.sock.get()), 10022);
  c.sock->lastError = 0;
  EXPECT_EQ(SocketRead(c.sock.get(), buffer, 8, 3), -1);
  EXPECT_EQ(SocketError(c.sock.get()), 10022);
  EXPECT_EQ(ReceiveUpTo(c.peer, 1), "") << "the peer sees the close";
}

TEST(QXSocketTest, PlatformErrorsBecomeWinSockNumbers) {
  struct Case {
    PlatformErrorSource source;
    int code;
    int32_t winsock;
  };
  const Case cases[] = {
      {PlatformErrorSource::kSystem, EINPROGRESS, 10035},
      {PlatformErrorSource::kSystem, EWOULDBLOCK, 10035},
      {PlatformErrorSource::kSystem, ECONNREFUSED, 10061},
      {PlatformErrorSource::kSystem, ETIMEDOUT, 10060},
      {PlatformErrorSource::kSystem, ECONNRESET, 10054},
      {PlatformErrorSource::kSystem, EHOSTUNREACH, 10065},
      {PlatformErrorSource::kSystem, ENETUNREACH, 10051},
      {PlatformErrorSource::kSystem, EPIPE, 10058},
      {PlatformErrorSource::kSystem, EINVAL, 10022},
      {PlatformErrorSource::kSystem, EADDRNOTAVAIL, 10049},
      {PlatformErrorSource::kSystem, ECONNABORTED, 10053},
      {PlatformErrorSource::kLookup, EAI_NONAME, 11001},
      {PlatformErrorSource::kLookup, EAI_AGAIN, 11002},
      {PlatformErrorSource::kLookup, EAI_FAIL, 11003},
      {PlatformErrorSource::kLookup, EAI_NODATA, 11004},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlatformMapError(c.source, c.code), c.winsock) << c.code;
  }
}

}  // namespace
