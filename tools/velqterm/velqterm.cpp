// velqterm: a small TCP server that plays the time-recording terminal, for
// tests, demos and dry runs. It greets, takes the fixed login, checks and
// accepts UPDSYSDB lines, and can be told to misbehave.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

namespace {

constexpr const char* kUser = "Supervisor";
constexpr const char* kPassword = "m3p8w2r6t1hjcv";

enum ExitCode { kExitDone = 0, kExitUsage = 1, kExitListen = 2, kExitTimeLimit = 3 };

struct Options {
  std::string address = "127.0.0.1";
  int port = 5010;
  bool greet = true;
  std::string greeting = "200 velqterm ready\r\n";
  std::map<int, std::string> replies;  // line number (0 = greeting) -> bytes to send
  std::map<int, int> lineDelays;       // line number (0 = greeting) -> milliseconds
  int delayMs = 0;
  int splitMs = -1;  // -1: replies go out in one piece
  int closeAfter = 0;
  int resetAfter = 0;
  int connections = 1;
  int timeLimit = 60;
  std::string receivedPath;
  std::string acceptedPath;
  std::string readyPath;
};

const char kUsage[] =
    "usage: velqterm [options]\n"
    "Plays the time-recording terminal on a TCP port (one connection at a time).\n"
    "\n"
    "  --address A          listen address (default 127.0.0.1)\n"
    "  --port P             listen port (default 5010; 0 picks a free one)\n"
    "  --ready-file FILE    write the port number to FILE once listening\n"
    "  --received FILE      write every received command line to FILE\n"
    "  --accepted FILE      write every accepted setting (type TAB name TAB value)\n"
    "  --connections N      serve N connections, then exit (default 1; 0 = no limit)\n"
    "  --time-limit S       exit after S seconds whatever happens (default 60)\n"
    "  --greeting TEXT      greeting line, CR LF added (default \"200 velqterm ready\")\n"
    "  --no-greeting        send no greeting\n"
    "  --raw-greeting BYTES send BYTES (escapes below) as the greeting, nothing added\n"
    "  --reply K=CODE[:TEXT]  answer line K with \"CODE TEXT\" CR LF (\"CODE\" CR LF\n"
    "                       without TEXT); repeatable; K=0 is the greeting\n"
    "  --raw-reply K=BYTES  answer line K with exactly BYTES; repeatable\n"
    "  --close-after K      close the connection after receiving line K (no answer)\n"
    "  --reset-after K      reset the connection after receiving line K (no answer)\n"
    "  --delay MS           wait MS milliseconds before every reply and the greeting\n"
    "  --delay-reply K=MS   wait MS milliseconds before the answer to line K\n"
    "  --split-replies MS   send the first byte of every reply, wait MS, then the rest\n"
    "  --help               show this text\n"
    "\n"
    "Lines are counted from 1 on each connection. BYTES understand \\r \\n \\t \\0\n"
    "\\\\ and \\xHH. Exit status: 0 done, 1 bad usage, 2 cannot listen, 3 time limit\n"
    "reached before the connections were served.\n";

bool ParseInt(const std::string& text, int low, int high, int* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  *out = static_cast<int>(value);
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unescape(const std::string& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *out += text[i];
      continue;
    }
    if (++i >= text.size()) return false;
    switch (text[i]) {
      case 'r': *out += '\r'; break;
      case 'n': *out += '\n'; break;
      case 't': *out += '\t'; break;
      case '0': *out += '\0'; break;
      case '\\': *out += '\\'; break;
      case 'x': {
        int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (high < 0 || low < 0) return false;
        *out += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return true;
}

// "K=REST" with K a line number.
bool SplitKeyed(const std::string& text, int* line, std::string* rest) {
  size_t eq = text.find('=');
  if (eq == std::string::npos) return false;
  *rest = text.substr(eq + 1);
  return ParseInt(text.substr(0, eq), 0, 100000000, line);
}

bool ParseOptions(int argc, char** argv, Options* o, bool* help) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      *help = true;
      return true;
    }
    if (arg == "--no-greeting") {
      o->greet = false;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "velqterm: %s needs a value (or is unknown)\n", arg.c_str());
      return false;
    }
    std::string value = argv[++i];
    int line = 0;
    std::string rest;
    bool ok = true;
    if (arg == "--address") {
      in_addr probe{};
      ok = inet_pton(AF_INET, value.c_str(), &probe) == 1;
      o->address = value;
    } else if (arg == "--port") {
      ok = ParseInt(value, 0, 65535, &o->port);
    } else if (arg == "--ready-file") {
      o->readyPath = value;
    } else if (arg == "--received") {
      o->receivedPath = value;
    } else if (arg == "--accepted") {
      o->acceptedPath = value;
    } else if (arg == "--connections") {
      ok = ParseInt(value, 0, 100000000, &o->connections);
    } else if (arg == "--time-limit") {
      ok = ParseInt(value, 1, 86400, &o->timeLimit);
    } else if (arg == "--greeting") {
      o->greeting = value + "\r\n";
      o->greet = true;
    } else if (arg == "--raw-greeting") {
      ok = Unescape(value, &o->greeting);
      o->greet = true;
    } else if (arg == "--reply") {
      ok = SplitKeyed(value, &line, &rest) && !rest.empty();
      if (ok) {
        size_t colon = rest.find(':');
        std::string reply =
            colon == std::string::npos ? rest : rest.substr(0, colon) + " " + rest.substr(colon + 1);
        o->replies[line] = reply + "\r\n";
      }
    } else if (arg == "--raw-reply") {
      std::string bytes;
      ok = SplitKeyed(value, &line, &rest) && Unescape(rest, &bytes);
      if (ok) o->replies[line] = bytes;
    } else if (arg == "--close-after") {
      ok = ParseInt(value, 1, 100000000, &o->closeAfter);
    } else if (arg == "--reset-after") {
      ok = ParseInt(value, 1, 100000000, &o->resetAfter);
    } else if (arg == "--delay") {
      ok = ParseInt(value, 0, 600000, &o->delayMs);
    } else if (arg == "--delay-reply") {
      int ms = 0;
      ok = SplitKeyed(value, &line, &rest) && ParseInt(rest, 0, 600000, &ms);
      if (ok) o->lineDelays[line] = ms;
    } else if (arg == "--split-replies") {
      ok = ParseInt(value, 0, 600000, &o->splitMs);
    } else {
      std::fprintf(stderr, "velqterm: unknown option %s\n", arg.c_str());
      return false;
    }
    if (!ok) {
      std::fprintf(stderr, "velqterm: bad value for %s: %s\n", arg.c_str(), value.c_str());
      return false;
    }
  }
  return true;
}

// CRC-16/ARC by table, kept apart from the tool's own bitwise CRC so that
// the simulator checks it independently.
uint16_t Crc16Arc(const std::string& data) {
  static uint16_t table[256];
  static bool built = false;
  if (!built) {
    for (unsigned n = 0; n < 256; ++n) {
      uint16_t c = static_cast<uint16_t>(n);
      for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
      table[n] = c;
    }
    built = true;
  }
  uint16_t crc = 0;
  for (unsigned char byte : data) crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ byte) & 0xFF]);
  return crc;
}

using Clock = std::chrono::steady_clock;

class Server {
 public:
  explicit Server(const Options& o) : o_(o), deadline_(Clock::now() + std::chrono::seconds(o.timeLimit)) {}
  ~Server() {
    if (listener_ >= 0) ::close(listener_);
    if (received_) std::fclose(received_);
    if (accepted_) std::fclose(accepted_);
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  int Run() {
    if (!OpenFiles()) return kExitUsage;
    int listened = Listen();
    if (listened != kExitDone) return listened;
    for (int served = 0; o_.connections == 0 || served < o_.connections; ++served) {
      int client = Accept();
      if (client < 0) return o_.connections == 0 ? kExitDone : kExitTimeLimit;
      bool inTime = Serve(client);
      if (!inTime) return o_.connections == 0 ? kExitDone : kExitTimeLimit;
    }
    return kExitDone;
  }

 private:
  struct Session {
    bool userAccepted = false;
    bool loggedIn = false;
  };

  bool OpenFiles() {
    if (!o_.receivedPath.empty() && !(received_ = std::fopen(o_.receivedPath.c_str(), "wb"))) {
      std::fprintf(stderr, "velqterm: cannot write %s: %s\n", o_.receivedPath.c_str(), std::strerror(errno));
      return false;
    }
    if (!o_.acceptedPath.empty() && !(accepted_ = std::fopen(o_.acceptedPath.c_str(), "wb"))) {
      std::fprintf(stderr, "velqterm: cannot write %s: %s\n", o_.acceptedPath.c_str(), std::strerror(errno));
      return false;
    }
    return true;
  }

  int Listen() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) {
      std::fprintf(stderr, "velqterm: socket: %s\n", std::strerror(errno));
      return kExitListen;
    }
    int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(o_.port));
    inet_pton(AF_INET, o_.address.c_str(), &at.sin_addr);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) < 0 || ::listen(listener_, 16) < 0) {
      std::fprintf(stderr, "velqterm: cannot listen on %s:%d: %s\n", o_.address.c_str(), o_.port,
                   std::strerror(errno));
      return kExitListen;
    }
    socklen_t size = sizeof at;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &size);
    int port = ntohs(at.sin_port);
    std::printf("velqterm listening on %s:%d\n", o_.address.c_str(), port);
    std::fflush(stdout);
    if (!o_.readyPath.empty()) {
      // Written under another name and renamed, so a reader never sees half of it.
      std::string temporary = o_.readyPath + ".tmp";
      std::FILE* ready = std::fopen(temporary.c_str(), "wb");
      if (ready == nullptr) return kExitUsage;
      std::fprintf(ready, "%d\n", port);
      std::fclose(ready);
      std::rename(temporary.c_str(), o_.readyPath.c_str());
    }
    return kExitDone;
  }

  int MillisecondsLeft() const {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
  }

  // Waits for the socket until the time limit; false when the limit came first.
  bool WaitReadable(int fd) const {
    for (;;) {
      int left = MillisecondsLeft();
      if (left == 0) return false;
      pollfd entry{fd, POLLIN, 0};
      int ready = ::poll(&entry, 1, left);
      if (ready > 0) return true;
      if (ready < 0 && errno != EINTR) return false;
    }
  }

  int Accept() {
    if (!WaitReadable(listener_)) return -1;
    int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client >= 0) {
      int on = 1;
      ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    return client;
  }

  void Pause(int ms) const {
    int wait = ms < MillisecondsLeft() ? ms : MillisecondsLeft();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::milliseconds(wait));
  }

  static void SendAll(int fd, const char* data, size_t length) {
    while (length > 0) {
      ssize_t sent = ::send(fd, data, length, MSG_NOSIGNAL);
      if (sent <= 0) return;
      data += sent;
      length -= static_cast<size_t>(sent);
    }
  }

  void SendReply(int fd, int line, const std::string& bytes) const {
    auto delay = o_.lineDelays.find(line);
    Pause(delay != o_.lineDelays.end() ? delay->second : o_.delayMs);
    if (o_.splitMs >= 0 && bytes.size() > 1) {
      SendAll(fd, bytes.data(), 1);
      Pause(o_.splitMs);
      SendAll(fd, bytes.data() + 1, bytes.size() - 1);
    } else {
      SendAll(fd, bytes.data(), bytes.size());
    }
  }

  std::string Answer(const std::string& line, Session* s) {
    if (line.empty()) return "200 empty line ignored\r\n";
    if (line.rfind("USER ", 0) == 0) {
      s->userAccepted = line.substr(5) == kUser;
      s->loggedIn = false;
      return s->userAccepted ? "331 password required\r\n" : "530 unknown user\r\n";
    }
    if (line.rfind("PASS ", 0) == 0) {
      s->loggedIn = s->userAccepted && line.substr(5) == kPassword;
      return s->loggedIn ? "230 logged in\r\n" : "530 login incorrect\r\n";
    }
    if (line.rfind("UPDSYSDB ", 0) == 0) return Update(line.substr(9), *s);
    return "500 unknown command\r\n";
  }

  // "<crc> <length> <type> <name> <value>"
  std::string Update(const std::string& rest, const Session& s) {
    if (!s.loggedIn) return "530 not logged in\r\n";
    size_t first = rest.find(' ');
    size_t second = first == std::string::npos ? first : rest.find(' ', first + 1);
    if (second == std::string::npos) return "501 syntax error\r\n";
    std::string crcText = rest.substr(0, first);
    std::string lengthText = rest.substr(first + 1, second - first - 1);
    std::string payload = rest.substr(second + 1);
    char expected[8];
    std::snprintf(expected, sizeof expected, "%x", static_cast<unsigned>(Crc16Arc(payload)));
    if (crcText != expected) return "501 CRC error\r\n";
    if (lengthText != std::to_string(payload.size())) return "501 length error\r\n";
    size_t typeEnd = payload.find(' ');
    size_t nameEnd = typeEnd == std::string::npos ? typeEnd : payload.find(' ', typeEnd + 1);
    if (nameEnd == std::string::npos) return "501 syntax error\r\n";
    if (accepted_ != nullptr) {
      std::string record = payload.substr(0, typeEnd) + "\t" +
                           payload.substr(typeEnd + 1, nameEnd - typeEnd - 1) + "\t" +
                           payload.substr(nameEnd + 1) + "\n";
      std::fwrite(record.data(), 1, record.size(), accepted_);
      std::fflush(accepted_);
    }
    return "200 OK\r\n";
  }

  // Serves one connection; false when the time limit ended it.
  bool Serve(int fd) {
    Session session;
    if (o_.greet) {
      auto special = o_.replies.find(0);
      SendReply(fd, 0, special != o_.replies.end() ? special->second : o_.greeting);
    }
    std::string pending;
    int lineNumber = 0;
    char chunk[65536];
    for (;;) {
      if (!WaitReadable(fd)) {
        ::close(fd);
        return false;
      }
      ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
      if (got <= 0) break;
      pending.append(chunk, static_cast<size_t>(got));
      size_t end;
      while ((end = pending.find('\n')) != std::string::npos) {
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ++lineNumber;
        if (received_ != nullptr) {
          std::fwrite(line.data(), 1, line.size(), received_);
          std::fputc('\n', received_);
          std::fflush(received_);
        }
        if (lineNumber == o_.resetAfter) {
          linger hard{1, 0};
          ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
          ::close(fd);
          return true;
        }
        if (lineNumber == o_.closeAfter) {
          ::close(fd);
          return true;
        }
        auto special = o_.replies.find(lineNumber);
        SendReply(fd, lineNumber, special != o_.replies.end() ? special->second : Answer(line, &session));
      }
    }
    ::close(fd);
    return true;
  }

  const Options& o_;
  Clock::time_point deadline_;
  int listener_ = -1;
  std::FILE* received_ = nullptr;
  std::FILE* accepted_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  Options options;
  bool help = false;
  if (!ParseOptions(argc, argv, &options, &help)) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  if (help) {
    std::fputs(kUsage, stdout);
    return kExitDone;
  }
  Server server(options);
  return server.Run();
}
