// velqlogin: writes and shows the encrypted login file that velqreg reads
// its database login from.
//
//   velqlogin write FILE --user USER --db-system NAME --net8 HOST
//       (the password is the first line of standard input)
//   velqlogin show FILE
//
// Exit status: 0 done, 1 a value refused or the file not written / not
// readable, 2 bad command line.
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "config/blowfish.h"
#include "config/login_file.h"

namespace {

constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

// The most a login file can carry: 200 hex characters hold 12 blocks.
constexpr size_t kMaxValue = 96;
// What velqreg uses at most of these two.
constexpr size_t kMaxDbSystem = 40;
constexpr size_t kMaxNet8 = 41;
// Standard input is read no further than this while looking for the end of
// the password line.
constexpr size_t kMaxPasswordLine = 1024;

const char kUsage[] =
    "usage: velqlogin write FILE --user USER --db-system NAME --net8 HOST\n"
    "           (the password is read from the first line of standard input)\n"
    "       velqlogin show FILE\n";

struct Entry {
  const char* key;
  std::string value;
  size_t limit;
};

int UsageError(const char* what) {
  std::fprintf(stderr, "velqlogin: %s\n%s", what, kUsage);
  return kExitUsage;
}

void Wipe(std::string& text) {
  if (!text.empty()) BfWipeBytes(reinterpret_cast<unsigned char*>(text.data()), text.size());
  text.clear();
}

// Reads the first line of standard input without its line end (LF or
// CR LF). Returns false when there is no line at all or it is too long.
bool ReadPasswordLine(std::string& password, std::string& problem) {
  bool terminal = isatty(STDIN_FILENO) == 1;
  termios saved{};
  if (terminal && tcgetattr(STDIN_FILENO, &saved) == 0) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::fputs("Password: ", stderr);
  } else {
    terminal = false;
  }
  bool gotAny = false;
  bool ok = true;
  for (;;) {
    int c = std::getchar();
    if (c == EOF) break;
    gotAny = true;
    if (c == '\n') break;
    if (password.size() == kMaxPasswordLine) {
      ok = false;
      problem = "the password line is too long";
      break;
    }
    password.push_back(static_cast<char>(c));
  }
  if (terminal) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputs("\n", stderr);
  }
  if (ok && !gotAny) {
    ok = false;
    problem = "no password on standard input (expected its first line)";
  }
  if (ok && !password.empty() && password.back() == '\r') password.pop_back();
  return ok;
}

// Why the value cannot be stored, or empty when it can.
std::string Refusal(const Entry& e) {
  char text[200];
  if (e.value.size() > e.limit) {
    std::snprintf(text, sizeof text, "the %s value has %zu characters; at most %zu are possible", e.key,
                  e.value.size(), e.limit);
    return text;
  }
  if (e.value.find('\0') != std::string::npos) return std::string("the ") + e.key + " value holds a zero byte";
  if (e.value.find_first_of("\r\n") != std::string::npos) {
    return std::string("the ") + e.key + " value holds a line end (CR or LF)";
  }
  if (std::strcmp(e.key, "DB_SYSTEM") == 0 && e.value.empty()) {
    return "the DB_SYSTEM value is empty; it names the settings file and must be given";
  }
  return {};
}

// The value zero-padded to whole 8-byte blocks, each encrypted with the
// login key (halves least significant byte first), as upper-case hex.
std::string EncryptValue(const BfState& state, const std::string& plain) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (size_t i = 0; i < plain.size(); i += 8) {
    unsigned char block[8] = {};
    for (size_t k = 0; k < 8 && i + k < plain.size(); ++k) block[k] = static_cast<unsigned char>(plain[i + k]);
    uint32_t L = uint32_t{block[0]} | uint32_t{block[1]} << 8 | uint32_t{block[2]} << 16 | uint32_t{block[3]} << 24;
    uint32_t R = uint32_t{block[4]} | uint32_t{block[5]} << 8 | uint32_t{block[6]} << 16 | uint32_t{block[7]} << 24;
    BfEncrypt(state, L, R);
    for (uint32_t half : {L, R}) {
      for (int k = 0; k < 4; ++k) {
        unsigned v = (half >> (8 * k)) & 0xFF;
        hex += kDigits[v >> 4];
        hex += kDigits[v & 15];
      }
    }
    BfWipeBytes(block, sizeof block);
  }
  return hex;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes content to a temporary file beside path, checks that every entry
// reads back unchanged, then moves it into place. Nothing is left behind on
// failure.
int WriteLoginFile(const std::string& path, const std::string& content, const std::vector<Entry>& entries) {
  std::string temp = path + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    std::fprintf(stderr, "velqlogin: cannot create a file beside %s: %s\n", path.c_str(), std::strerror(errno));
    return kExitRefused;
  }
  bool written = WriteAll(fd, content) && fsync(fd) == 0;
  int savedErrno = errno;
  if (::close(fd) != 0 && written) {
    written = false;
    savedErrno = errno;
  }
  if (!written) {
    unlink(temp.c_str());
    std::fprintf(stderr, "velqlogin: cannot write %s: %s\n", path.c_str(), std::strerror(savedErrno));
    return kExitRefused;
  }
  for (const Entry& e : entries) {
    ReadLoginValue("", e.key, 0, temp.c_str());
    bool same = LoginValue == e.value;
    Wipe(LoginValue);
    if (!same) {
      unlink(temp.c_str());
      std::fprintf(stderr, "velqlogin: the %s value does not read back unchanged; nothing written\n", e.key);
      return kExitRefused;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    savedErrno = errno;
    unlink(temp.c_str());
    std::fprintf(stderr, "velqlogin: cannot replace %s: %s\n", path.c_str(), std::strerror(savedErrno));
    return kExitRefused;
  }
  return 0;
}

int Write(int argc, char** argv) {
  if (argc < 3) return UsageError("write needs a FILE");
  std::string path = argv[2];
  const char* user = nullptr;
  const char* dbSystem = nullptr;
  const char* net8 = nullptr;
  for (int i = 3; i < argc; i += 2) {
    const char** slot = nullptr;
    if (std::strcmp(argv[i], "--user") == 0) slot = &user;
    if (std::strcmp(argv[i], "--db-system") == 0) slot = &dbSystem;
    if (std::strcmp(argv[i], "--net8") == 0) slot = &net8;
    if (slot == nullptr) return UsageError((std::string("unknown argument ") + argv[i]).c_str());
    if (*slot != nullptr) return UsageError((std::string(argv[i]) + " given twice").c_str());
    if (i + 1 >= argc) return UsageError((std::string(argv[i]) + " needs a value").c_str());
    *slot = argv[i + 1];
  }
  if (user == nullptr) return UsageError("--user is missing");
  if (dbSystem == nullptr) return UsageError("--db-system is missing");
  if (net8 == nullptr) return UsageError("--net8 is missing");

  // The values from the command line are checked before the password is
  // asked for.
  std::vector<Entry> entries = {
      {"LOGIN", user, kMaxValue},
      {"PASS", "", kMaxValue},
      {"DB_SYSTEM", dbSystem, kMaxDbSystem},
      {"NET8", net8, kMaxNet8},
  };
  for (const Entry& e : entries) {
    std::string refusal = Refusal(e);
    if (!refusal.empty()) {
      std::fprintf(stderr, "velqlogin: %s; nothing written\n", refusal.c_str());
      return kExitRefused;
    }
  }
  std::string problem;
  int status = 0;
  if (!ReadPasswordLine(entries[1].value, problem)) {
    std::fprintf(stderr, "velqlogin: %s; nothing written\n", problem.c_str());
    status = kExitRefused;
  } else {
    std::string refusal = Refusal(entries[1]);
    if (!refusal.empty()) {
      std::fprintf(stderr, "velqlogin: %s; nothing written\n", refusal.c_str());
      status = kExitRefused;
    }
  }
  if (status == 0) {
    BfState state;
    BfInit(state, reinterpret_cast<const unsigned char*>(kLoginCipherKey), std::strlen(kLoginCipherKey));
    std::string content;
    for (size_t i = 0; i < entries.size(); ++i) {
      content += std::string("velqlogin;") + entries[i].key + ";\n";
      content += std::to_string(i + 1) + ";" + entries[i].key + ";" + EncryptValue(state, entries[i].value) + "\n";
    }
    BfWipe(state);
    status = WriteLoginFile(path, content, entries);
    Wipe(content);
  }
  for (Entry& e : entries) Wipe(e.value);
  return status;
}

int Show(int argc, char** argv) {
  if (argc != 3) return UsageError("show needs exactly one FILE");
  const char* path = argv[2];
  std::FILE* probe = std::fopen(path, "rb");
  if (probe == nullptr) {
    std::fprintf(stderr, "velqlogin: cannot read %s: %s\n", path, std::strerror(errno));
    return kExitRefused;
  }
  std::fclose(probe);
  for (const char* key : {"LOGIN", "PASS", "DB_SYSTEM", "NET8"}) {
    // The same lookups velqreg makes: empty section, number 0.
    ReadLoginValue("", key, 0, path);
    std::printf("%-9s = ", key);
    if (std::strcmp(key, "PASS") == 0) {
      std::fputs(LoginValue.empty() ? "" : "********", stdout);
    } else {
      std::fwrite(LoginValue.data(), 1, LoginValue.size(), stdout);
    }
    std::fputc('\n', stdout);
    Wipe(LoginValue);
  }
  return std::fflush(stdout) == 0 ? 0 : kExitRefused;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return UsageError("no command given");
  std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "write") return Write(argc, argv);
  if (command == "show") return Show(argc, argv);
  return UsageError(("unknown command " + command).c_str());
}
