// Runs the real velqlogin binary and reads what it wrote through the same
// lookup velqreg uses.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/login_file.h"
#include "tests/kit/process.h"
#include "tests/kit/temp_dir.h"

namespace {

const std::string kBinary = std::string(VELQ_BINARY_DIR) + "/velqlogin";

ProcessResult RunLogin(const std::vector<std::string>& args, const std::string& input = "") {
  std::vector<std::string> argv = {kBinary};
  argv.insert(argv.end(), args.begin(), args.end());
  ProcessOptions options;
  options.input = input;
  options.timeLimitSeconds = 20;
  return RunProcess(argv, options);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> DirEntries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  return names;
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

struct Login {
  const char* name;
  std::string user;
  std::string passwordInput;  // standard input as given
  std::string password;       // the password it stands for
  std::string dbSystem;
  std::string net8;
};

TEST(Velqlogin, WrittenFilesReadBackUnchanged) {
  const std::vector<Login> logins = {
      {"plain", "qxuser", "s3cret\n", "s3cret", "PROD", "db.example.test"},
      {"longest values", Repeat('u', 96), Repeat('p', 95) + "!\n", Repeat('p', 95) + "!", Repeat('D', 40),
       Repeat('n', 41)},
      {"whole blocks", "exactly8", "sixteen-chars-pw\n", "sixteen-chars-pw", "ABCDEFGH", "127.0.0.1"},
      {"Latin-1 bytes and separators", "m\xFCller;=", "P\xE4ss \xD6l;x=1\t \n", "P\xE4ss \xD6l;x=1\t ",
       "S\xDC" "D", "h\xF6st"},
      {"CR LF line end, further lines ignored", "u", "pw\r\nsecond line\n", "pw", "DB", "host"},
      {"no line end at all", "u", "pw-without-lf", "pw-without-lf", "DB", "host"},
      {"empty user, password and host", "", "\n", "", "DB", ""},
  };
  for (const Login& l : logins) {
    SCOPED_TRACE(l.name);
    TempDir dir;
    const std::string file = dir.File("Orvantis.Ini");
    ProcessResult w = RunLogin({"write", file, "--user", l.user, "--db-system", l.dbSystem, "--net8", l.net8},
                          l.passwordInput);
    ASSERT_EQ(w.exitStatus, 0) << w.err;
    EXPECT_EQ(w.err, "");
    EXPECT_EQ(DirEntries(dir.path()), std::vector<std::string>{"Orvantis.Ini"}) << "temporary file left";

    const std::pair<const char*, std::string> expected[] = {
        {"LOGIN", l.user}, {"PASS", l.password}, {"DB_SYSTEM", l.dbSystem}, {"NET8", l.net8}};
    for (const auto& [key, value] : expected) {
      ReadLoginValue("", key, 0, file.c_str());
      EXPECT_EQ(LoginValue, value) << key;
    }

    // A usable file: eight lines, headers with a non-empty section field,
    // value lines with non-zero numbers and upper-case hex of whole blocks.
    std::vector<std::string> lines = Lines(ReadFileBytes(file));
    ASSERT_EQ(lines.size(), 8u);
    for (size_t i = 0; i < 4; ++i) {
      const std::string key = expected[i].first;
      EXPECT_EQ(lines[2 * i], "velqlogin;" + key + ";");
      const std::string prefix = std::to_string(i + 1) + ";" + key + ";";
      ASSERT_EQ(lines[2 * i + 1].compare(0, prefix.size(), prefix), 0) << lines[2 * i + 1];
      const std::string hex = lines[2 * i + 1].substr(prefix.size());
      EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos) << hex;
      EXPECT_EQ(hex.size(), 16 * ((expected[i].second.size() + 7) / 8)) << key;
    }

    ProcessResult s = RunLogin({"show", file});
    ASSERT_EQ(s.exitStatus, 0) << s.err;
    EXPECT_EQ(s.out, "LOGIN     = " + l.user + "\nPASS      = " + (l.password.empty() ? "" : "********") +
                         "\nDB_SYSTEM = " + l.dbSystem + "\nNET8      = " + l.net8 + "\n");
    if (!l.password.empty()) {
      EXPECT_EQ(s.out.find(l.password), std::string::npos) << "password shown";
    }
  }
}

TEST(Velqlogin, RefusesValuesThatCannotBeStored) {
  struct Refusal {
    const char* name;
    std::string user, input, dbSystem, net8;
    const char* message;
  };
  const std::vector<Refusal> refusals = {
      {"user over 96", Repeat('u', 97), "pw\n", "DB", "h", "LOGIN value has 97 characters"},
      {"password over 96", "u", Repeat('p', 97) + "\n", "DB", "h", "PASS value has 97 characters"},
      {"DB_SYSTEM over 40", "u", "pw\n", Repeat('D', 41), "h", "DB_SYSTEM value has 41 characters"},
      {"NET8 over 41", "u", "pw\n", "DB", Repeat('n', 42), "NET8 value has 42 characters"},
      {"zero byte in the password", "u", std::string("p\0w\n", 4), "DB", "h", "PASS value holds a zero byte"},
      {"CR inside the password", "u", "p\rw\n", "DB", "h", "PASS value holds a line end"},
      {"LF in the user", "a\nb", "pw\n", "DB", "h", "LOGIN value holds a line end"},
      {"CR in the host", "u", "pw\n", "DB", "h\r", "NET8 value holds a line end"},
      {"no password line", "u", "", "DB", "h", "no password on standard input"},
      {"endless password line", "u", Repeat('p', 5000), "DB", "h", "password line is too long"},
      {"empty DB_SYSTEM", "u", "pw\n", "", "h", "DB_SYSTEM value is empty"},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.name);
    TempDir dir;
    const std::string file = dir.File("Orvantis.Ini");
    // A file already in place stays exactly as it was.
    ASSERT_TRUE(WriteFileBytes(file, "previous content\n"));
    ProcessResult w = RunLogin({"write", file, "--user", r.user, "--db-system", r.dbSystem, "--net8", r.net8}, r.input);
    EXPECT_EQ(w.exitStatus, 1);
    EXPECT_NE(w.err.find(r.message), std::string::npos) << w.err;
    EXPECT_NE(w.err.find("nothing written"), std::string::npos) << w.err;
    EXPECT_EQ(ReadFileBytes(file), "previous content\n");
    EXPECT_EQ(DirEntries(dir.path()), std::vector<std::string>{"Orvantis.Ini"});
  }
}

TEST(Velqlogin, UsageErrors) {
  TempDir dir;
  const std::string file = dir.File("Orvantis.Ini");
  const std::vector<std::vector<std::string>> calls = {
      {},
      {"frobnicate", file},
      {"write"},
      {"write", file, "--db-system", "DB", "--net8", "h"},
      {"write", file, "--user", "u", "--net8", "h"},
      {"write", file, "--user", "u", "--db-system", "DB"},
      {"write", file, "--user", "u", "--db-system", "DB", "--net8", "h", "--password", "x"},
      {"write", file, "--user", "u", "--user", "v", "--db-system", "DB", "--net8", "h"},
      {"write", file, "--user", "u", "--db-system", "DB", "--net8"},
      {"show"},
      {"show", file, "extra"},
  };
  for (const auto& args : calls) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    SCOPED_TRACE(joined);
    ProcessResult r = RunLogin(args, "pw\n");
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.err.find("usage: velqlogin write FILE"), std::string::npos) << r.err;
    EXPECT_FALSE(FileExists(file));
  }
  ProcessResult help = RunLogin({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.out.find("velqlogin show FILE"), std::string::npos);
}

TEST(Velqlogin, FileProblems) {
  TempDir dir;
  ProcessResult missing = RunLogin({"show", dir.File("none.Ini")});
  EXPECT_EQ(missing.exitStatus, 1);
  EXPECT_NE(missing.err.find("cannot read"), std::string::npos) << missing.err;
  EXPECT_EQ(missing.out, "");

  ProcessResult noFolder =
      RunLogin({"write", dir.File("no/such/Orvantis.Ini"), "--user", "u", "--db-system", "DB", "--net8", "h"}, "pw\n");
  EXPECT_EQ(noFolder.exitStatus, 1);
  EXPECT_NE(noFolder.err.find("cannot create"), std::string::npos) << noFolder.err;
  EXPECT_TRUE(DirEntries(dir.path()).empty());

  // An existing login file is replaced as a whole.
  const std::string file = dir.File("Orvantis.Ini");
  ASSERT_EQ(RunLogin({"write", file, "--user", "first", "--db-system", "DB", "--net8", "h"}, "one\n").exitStatus, 0);
  ASSERT_EQ(RunLogin({"write", file, "--user", "second", "--db-system", "DB", "--net8", "h"}, "two\n").exitStatus, 0);
  ReadLoginValue("", "LOGIN", 0, file.c_str());
  EXPECT_EQ(LoginValue, "second");
  ReadLoginValue("", "PASS", 0, file.c_str());
  EXPECT_EQ(LoginValue, "two");
}

}  // namespace
