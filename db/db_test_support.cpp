#include "db/db_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>


#include <cstdio>
#include <cstring>

#include "app/run_state.h"
#include "config/blowfish.h"
#include "config/login_file.h"
#include "db/db_connection.h"
#include "support/run_log.h"
#include "tests/kit/temp_dir.h"
#include "tests/kit/test_db.h"

namespace {

struct ProcessSetup {
  TempDir root;
  std::string work;
  int status = -1;
};

// Made once per process; its run root is removed when the process ends.
ProcessSetup& Setup() {
  static ProcessSetup setup;
  static bool done = false;
  if (done) return setup;
  done = true;
  UseTestDbPort();
  setup.work = MakeRunRoot(setup.root.path());
  if (!WriteTestLoginFile(setup.root.path(), kTestDbSystem)) return setup;
  if (chdir(setup.work.c_str()) != 0) {
    ADD_FAILURE() << "cannot change into " << setup.work;
    return setup;
  }
  LogPath = kLogPathText;
  LogBackupPath = kLogBackupPathText;
  SchemaName = "Qxsystem";
  setup.status = DbConnect();
  return setup;
}

}  // namespace

int ConnectTestProcess() {
  if (!RequireTestDb()) return -1;
  return Setup().status;
}

const std::string& TestRunRoot() { return Setup().root.path(); }
const std::string& TestWorkDir() { return Setup().work; }

std::string TestLogPath() { return TestRunRoot() + "/Orvantis_php/log/VelqLog.txt"; }

ProcessResult RunProbe(const std::vector<std::string>& args, const std::string& workDir,
                       const std::vector<std::pair<std::string, std::string>>& env) {
  std::vector<std::string> argv = {VELQ_DB_PROBE};
  argv.insert(argv.end(), args.begin(), args.end());
  ProcessOptions options;
  options.workingDir = workDir;
  options.env.emplace_back("MYSQL_TCP_PORT", std::to_string(TestDbPort()));
  options.env.insert(options.env.end(), env.begin(), env.end());  // set later, so they win
  options.timeLimitSeconds = 60;
  return RunProcess(argv, options);
}

std::string ProbeValue(const ProcessResult& result, const std::string& name) {
  std::string key = name + "=";
  size_t at = 0;
  while (at < result.err.size()) {
    size_t end = result.err.find('\n', at);
    if (end == std::string::npos) end = result.err.size();
    if (result.err.compare(at, key.size(), key) == 0) {
      return result.err.substr(at + key.size(), end - at - key.size());
    }
    at = end + 1;
  }
  return "?";
}

namespace {

// Blowfish ciphertext of text (zero-padded to whole blocks) in upper-case
// hex, in the byte order the login file uses.
std::string EncryptLoginText(const std::string& text) {
  std::string plain = text;
  plain.resize((plain.size() + 8) / 8 * 8, '\0');
  BfState state;
  BfInit(state, reinterpret_cast<const unsigned char*>(kLoginCipherKey), std::strlen(kLoginCipherKey));
  std::string hex;
  auto byteAt = [&plain](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(plain[i])); };
  for (size_t block = 0; block < plain.size(); block += 8) {
    uint32_t halves[2];
    for (int h = 0; h < 2; ++h) {
      size_t at = block + 4 * static_cast<size_t>(h);
      halves[h] = byteAt(at) | byteAt(at + 1) << 8 | byteAt(at + 2) << 16 | byteAt(at + 3) << 24;
    }
    BfEncrypt(state, halves[0], halves[1]);
    for (uint32_t half : halves) {
      for (int b = 0; b < 4; ++b) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", (half >> (8 * b)) & 0xFFu);
        hex += digits;
      }
    }
  }
  BfWipe(state);
  return hex;
}

}  // namespace

bool WriteRawLoginFile(const std::string& path, const std::string& user,
                       const std::string& password, const std::string& dbSystem,
                       const std::string& net8) {
  const std::pair<const char*, const std::string*> entries[] = {
      {"LOGIN", &user}, {"PASS", &password}, {"DB_SYSTEM", &dbSystem}, {"NET8", &net8}};
  std::string content;
  int number = 0;
  for (const auto& [key, value] : entries) {
    content += std::string("test;") + key + ";\n";
    content += std::to_string(++number) + ";" + key + ";" + EncryptLoginText(*value) + "\n";
  }
  return WriteFileBytes(path, content);
}
