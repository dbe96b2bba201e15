// Shared set-up of the database tests: the process's one connection to the
// private server, made from a login file in a run root of its own, and the
// db_probe helper run as a child process.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/kit/process.h"

// Connects this process once (later calls return the first status): lays
// out a run root, writes its login file with DB_SYSTEM kTestDbSystem,
// changes into its working folder, sets LogPath and runs DbConnect.
int ConnectTestProcess();

inline constexpr const char* kTestDbSystem = "VQTEST";

// The run root and its working folder made by ConnectTestProcess.
const std::string& TestRunRoot();
const std::string& TestWorkDir();

// The run log of the test run root.
std::string TestLogPath();

// Runs db_probe with args in workDir (a run root's working folder).
ProcessResult RunProbe(const std::vector<std::string>& args, const std::string& workDir,
                       const std::vector<std::pair<std::string, std::string>>& env = {});

// The value of "name=" in a probe's standard error; "?" when absent.
std::string ProbeValue(const ProcessResult& result, const std::string& name);

// Writes a login file directly, without velqlogin's limits (velqlogin
// refuses values the tool must still cope with, such as a DB_SYSTEM of more
// than 40 characters). Returns false when the file cannot be written.
bool WriteRawLoginFile(const std::string& path, const std::string& user,
                       const std::string& password, const std::string& dbSystem,
                       const std::string& net8);
