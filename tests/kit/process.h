// Runs a program as a child process with a bounded time and collects its
// standard output.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct ProcessResult {
  int exitStatus = -1;    // the exit status, or -1 when it did not exit normally
  bool timedOut = false;  // killed at the time limit
  std::string out;        // everything written to standard output
  std::string err;        // everything written to standard error
  double seconds = 0;     // wall-clock duration
};

struct ProcessOptions {
  std::string workingDir;                                  // empty: the current one
  std::vector<std::pair<std::string, std::string>> env;    // added to the environment
  std::string input;                                       // written to standard input
  double timeLimitSeconds = 60;
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options);
