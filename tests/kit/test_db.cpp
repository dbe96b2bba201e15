#include "tests/kit/test_db.h"

#include <gtest/gtest.h>
#include <mysql.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>

#include "tests/kit/process.h"
#include "tests/kit/temp_dir.h"

namespace {

std::string ReadValueFile(const std::string& name) {
  std::string dir = TestDbDir();
  if (dir.empty()) return "";
  return ReadFileBytes(dir + "/" + name);
}

// One admin connection per call: a test's own view, independent of the
// connection the code under test holds.
class AdminConnection {
 public:
  AdminConnection() {
    UseTestDbPort();
    mysql_ = mysql_init(nullptr);
    if (mysql_ == nullptr) {
      error_ = "mysql_init failed";
      return;
    }
    mysql_options(mysql_, MYSQL_SET_CHARSET_NAME, "latin1");
    std::string socket = TestDbSocket();
    if (mysql_real_connect(mysql_, "localhost", "root", "", nullptr, 0, socket.c_str(), 0) ==
        nullptr) {
      error_ = "admin connect over " + socket + ": " + mysql_error(mysql_);
      mysql_close(mysql_);
      mysql_ = nullptr;
    }
  }
  ~AdminConnection() {
    if (mysql_ != nullptr) mysql_close(mysql_);
  }
  AdminConnection(const AdminConnection&) = delete;
  AdminConnection& operator=(const AdminConnection&) = delete;

  // Runs sql (several statements allowed) and collects every result's rows.
  bool Run(const std::string& sql, std::string& rows) {
    if (mysql_ == nullptr) return false;
    mysql_set_server_option(mysql_, MYSQL_OPTION_MULTI_STATEMENTS_ON);
    if (mysql_real_query(mysql_, sql.data(), sql.size()) != 0) return Fail(sql);
    for (;;) {
      MYSQL_RES* res = mysql_store_result(mysql_);
      if (res != nullptr) {
        unsigned int fields = mysql_num_fields(res);
        while (MYSQL_ROW row = mysql_fetch_row(res)) {
          unsigned long* lengths = mysql_fetch_lengths(res);
          for (unsigned int i = 0; i < fields; ++i) {
            if (i > 0) rows.push_back('\t');
            if (row[i] == nullptr) {
              rows.append("NULL");
            } else {
              rows.append(row[i], lengths[i]);
            }
          }
          rows.push_back('\n');
        }
        mysql_free_result(res);
      } else if (mysql_field_count(mysql_) != 0) {
        return Fail(sql);
      }
      int next = mysql_next_result(mysql_);
      if (next > 0) return Fail(sql);
      if (next < 0) break;
    }
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  bool Fail(const std::string& sql) {
    error_ = "SQL failed (" + std::to_string(mysql_errno(mysql_)) + " " + mysql_error(mysql_) +
             "): " + sql;
    return false;
  }

  MYSQL* mysql_ = nullptr;
  std::string error_;
};

}  // namespace

std::string TestDbDir() {
  const char* dir = std::getenv("VELQ_TEST_DB_DIR");
  return dir != nullptr ? std::string(dir) : std::string();
}

bool TestDbAvailable() {
  std::string dir = TestDbDir();
  return !dir.empty() && FileExists(dir + "/port") && TestDbPort() > 0;
}

bool RequireTestDb() {
  if (TestDbAvailable()) return true;
  ADD_FAILURE() << "the private MariaDB server is not available (VELQ_TEST_DB_DIR='" << TestDbDir()
                << "'); run the test through ctest, which starts it (fixture mariadb)";
  return false;
}

int TestDbPort() { return std::atoi(ReadValueFile("port").c_str()); }

std::string TestDbSocket() {
  std::string socket = ReadValueFile("socket");
  if (socket.empty() && !TestDbDir().empty()) socket = TestDbDir() + "/mysqld.sock";
  return socket;
}

std::string TestDbUser() { return ReadValueFile("user"); }
std::string TestDbPassword() { return ReadValueFile("password"); }

void UseTestDbPort() {
  int port = TestDbPort();
  if (port > 0) setenv("MYSQL_TCP_PORT", std::to_string(port).c_str(), 0);
}

std::string TestDbQuery(const std::string& sql) {
  if (!RequireTestDb()) return "";
  AdminConnection admin;
  std::string rows;
  if (!admin.Run(sql, rows)) {
    ADD_FAILURE() << admin.error();
    return "";
  }
  return rows;
}

void TestDbExec(const std::string& sql) { TestDbQuery(sql); }

std::string SqlQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (c == '\0') {
      out.append("\\0");
    } else {
      out.push_back(c);
    }
  }
  out.push_back('\'');
  return out;
}

bool WriteLoginFile(const std::string& path, const std::string& user, const std::string& password,
                    const std::string& dbSystem, const std::string& net8) {
  std::string tool = std::string(VELQ_BINARY_DIR) + "/velqlogin";
  if (access(tool.c_str(), X_OK) != 0) {
    ADD_FAILURE() << tool << " is not built";
    return false;
  }
  ProcessOptions options;
  options.input = password + "\n";
  options.timeLimitSeconds = 30;
  ProcessResult result = RunProcess(
      {tool, "write", path, "--user", user, "--db-system", dbSystem, "--net8", net8}, options);
  if (result.exitStatus != 0) {
    ADD_FAILURE() << "velqlogin write " << path << " failed with " << result.exitStatus << ": "
                  << result.err;
    return false;
  }
  return true;
}

std::string MakeRunRoot(const std::string& root) {
  MakeDirs(root + "/Files");
  MakeDirs(root + "/Orvantis_php/log");
  std::string work = root + "/a/b";
  MakeDirs(work);
  return work;
}

bool WriteTestLoginFile(const std::string& root, const std::string& dbSystem) {
  if (!RequireTestDb()) return false;
  return WriteLoginFile(root + "/Files/Orvantis.Ini", TestDbUser(), TestDbPassword(), dbSystem,
                        "127.0.0.1");
}

std::string UniqueTerminalName(const std::string& prefix) {
  static std::atomic<int> counter{0};
  auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                    .count();
  return prefix + "-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + "-" +
         std::to_string(micros % 1000000000);
}

void InsertTerminalRow(const std::string& name) {
  TestDbExec(
      "INSERT INTO QXSYSTEM.QXS1140TRM (TrmNam, TrmDtd, TrmDbe, TrmDnm, TrmDtp, TrmDst, TrmDpg, "
      "TrmDac) VALUES (" +
      SqlQuote(name) + ", '19990101000000', 'nobody', 'Init', 7, NULL, 50, 0)");
}

std::string NewTerminalRow(const std::string& prefix) {
  std::string name = UniqueTerminalName(prefix);
  InsertTerminalRow(name);
  return name;
}

std::string TerminalRow(const std::string& name) {
  return TestDbQuery(
      "SELECT TrmDtd, TrmDbe, TrmDnm, TrmDtp, TrmDst, TrmDpg, TrmDac FROM QXSYSTEM.QXS1140TRM "
      "WHERE TrmNam = BINARY " +
      SqlQuote(name));
}
