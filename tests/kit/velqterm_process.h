// The terminal simulator velqterm as a child process of a test: started on
// a loopback address, waited for until it listens, and stopped (killed and
// reaped) when the object goes out of scope.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/kit/temp_dir.h"

class VelqtermProcess {
 public:
  // Starts build/velqterm with the given options (for example {"--reply",
  // "2=530"}) on address, a 127.0.0.N text; port 0 lets it pick a free one.
  // The received-lines and accepted-settings files lie in a private temp
  // folder. A --time-limit of 30 s is added unless options name one.
  explicit VelqtermProcess(const std::vector<std::string>& options,
                           const std::string& address = "127.0.0.1", int port = 0);
  ~VelqtermProcess();
  VelqtermProcess(const VelqtermProcess&) = delete;
  VelqtermProcess& operator=(const VelqtermProcess&) = delete;

  // True once it listens (it waits at most 10 s for that).
  bool ready() const { return port_ > 0; }
  int port() const { return port_; }
  const std::string& address() const { return address_; }
  const std::string& receivedPath() const { return receivedPath_; }
  const std::string& acceptedPath() const { return acceptedPath_; }

  // What it printed (standard output and standard error).
  std::string Output() const { return ReadFileBytes(dir_.File("velqterm.out")); }
  // The command lines it received, in order, without their line ends.
  std::vector<std::string> ReceivedLines() const;
  // The settings it accepted, one "type\tname\tvalue" text each.
  std::vector<std::string> AcceptedSettings() const;

  // Waits at most seconds for it to exit by itself; its exit status, or -1
  // when it is still running (or did not exit normally).
  int WaitForExit(double seconds);
  // Kills it (if still running) and reaps it.
  void Stop();

 private:
  TempDir dir_;
  std::string address_;
  std::string receivedPath_;
  std::string acceptedPath_;
  pid_t pid_ = -1;
  int port_ = 0;
  int exitStatus_ = -1;
};

// The lines of a file, split at LF (a last line without LF counts too).
std::vector<std::string> ReadFileLines(const std::string& path);
