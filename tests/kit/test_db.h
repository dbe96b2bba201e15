// The private MariaDB server of the tests (started by tests/db_server.sh as
// a CTest fixture) and helpers around it: admin queries over its socket,
// login files written with velqlogin, a run root laid out as the tool
// expects it, and terminal rows with names of their own.
#pragma once

#include <string>

// Folder of the running server (VELQ_TEST_DB_DIR), or empty.
std::string TestDbDir();

// True when VELQ_TEST_DB_DIR is set and the server wrote its port file.
bool TestDbAvailable();

// Records a test failure (not a skip) when the server is not available and
// returns false then. Use as ASSERT_TRUE(RequireTestDb()).
bool RequireTestDb();

// The server's TCP port on 127.0.0.1 (0 when unavailable), its socket path,
// and the database user the tool logs in with.
int TestDbPort();
std::string TestDbSocket();
std::string TestDbUser();
std::string TestDbPassword();

// Points the client library of this process at the private server: sets
// MYSQL_TCP_PORT (read once, at the library's first initialisation) unless
// it is set already. Call before the first connection of the process;
// TestDbQuery and TestDbExec call it themselves.
void UseTestDbPort();

// Runs sql as the administrator over the socket (its own connection,
// autocommit on, latin1). Returns the rows: columns joined by '\t', each row
// ending in '\n', NULL as "NULL". Any error fails the current test and gives
// an empty text.
std::string TestDbQuery(const std::string& sql);
void TestDbExec(const std::string& sql);

// text as a quoted SQL literal: '...' with quote, backslash and NUL escaped.
std::string SqlQuote(const std::string& text);

// Writes a login file with <build>/velqlogin (the password on its standard
// input). Returns false, after recording why, when that fails.
bool WriteLoginFile(const std::string& path, const std::string& user, const std::string& password,
                    const std::string& dbSystem, const std::string& net8);

// Lays out a run root: <root>/Files/, <root>/Orvantis_php/log/ and the
// working folder <root>/a/b, whose path it returns (the tool finds its
// login file at ../../Files/Orvantis.Ini and its log at
// ../../Orvantis_php/log/VelqLog.txt from there).
std::string MakeRunRoot(const std::string& root);

// Writes <root>/Files/Orvantis.Ini with the test server's user and
// password, the given DB_SYSTEM and NET8 127.0.0.1.
bool WriteTestLoginFile(const std::string& root, const std::string& dbSystem);

// A terminal name no other test uses: prefix, the process id, a counter and
// the clock.
std::string UniqueTerminalName(const std::string& prefix);

// Fixed column values of a row made by InsertTerminalRow, as TerminalRow
// returns them.
inline constexpr const char* kInitialTerminalRow = "19990101000000\tnobody\tInit\t7\tNULL\t50\t0\n";

// Inserts a terminal row named name with the values of kInitialTerminalRow.
void InsertTerminalRow(const std::string& name);

// Inserts a row for a new UniqueTerminalName(prefix) and returns the name.
std::string NewTerminalRow(const std::string& prefix);

// The row's columns TrmDtd, TrmDbe, TrmDnm, TrmDtp, TrmDst, TrmDpg, TrmDac
// in TestDbQuery's form; empty when there is no row of that name.
std::string TerminalRow(const std::string& name);
