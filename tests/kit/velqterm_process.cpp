#include "tests/kit/velqterm_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

bool HasOption(const std::vector<std::string>& options, const std::string& name) {
  for (const std::string& option : options) {
    if (option == name) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> ReadFileLines(const std::string& path) {
  std::string bytes = ReadFileBytes(path);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

VelqtermProcess::VelqtermProcess(const std::vector<std::string>& options, const std::string& address,
                                 int port)
    : address_(address), receivedPath_(dir_.File("received.txt")), acceptedPath_(dir_.File("accepted.txt")) {
  std::string readyPath = dir_.File("ready.txt");
  std::vector<std::string> args = {std::string(VELQ_BINARY_DIR) + "/velqterm",
                                   "--address", address,
                                   "--port", std::to_string(port),
                                   "--ready-file", readyPath,
                                   "--received", receivedPath_,
                                   "--accepted", acceptedPath_};
  if (!HasOption(options, "--time-limit")) {
    args.push_back("--time-limit");
    args.push_back("30");
  }
  args.insert(args.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  // Its messages go to a file beside the others, out of the test's output.
  std::string outputPath = dir_.File("velqterm.out");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    pid_ = -1;
    return;
  }
  auto until = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < until) {
    std::string text = ReadFileBytes(readyPath);
    if (!text.empty()) {
      port_ = std::atoi(text.c_str());
      return;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

VelqtermProcess::~VelqtermProcess() { Stop(); }

std::vector<std::string> VelqtermProcess::ReceivedLines() const { return ReadFileLines(receivedPath_); }

std::vector<std::string> VelqtermProcess::AcceptedSettings() const {
  return ReadFileLines(acceptedPath_);
}

int VelqtermProcess::WaitForExit(double seconds) {
  if (pid_ < 0) return exitStatus_;
  auto until = Clock::now() + std::chrono::duration<double>(seconds);
  do {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      pid_ = -1;
      return exitStatus_;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (Clock::now() < until);
  return -1;
}

void VelqtermProcess::Stop() {
  if (pid_ < 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}
