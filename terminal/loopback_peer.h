// Test helpers: a loopback listener and an owned descriptor for the peer
// side of a terminal connection.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    Reset();
    fd_ = other.fd_;
    other.fd_ = -1;
    return *this;
  }
  int get() const { return fd_; }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // Closes with SO_LINGER 0, which sends a reset.
  void Abort() {
    linger hard{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    Reset();
  }

 private:
  int fd_;
};

// A listening socket on 127.0.0.1 and a free port.
class Listener {
 public:
  Listener() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_.get(), reinterpret_cast<sockaddr*>(&at), sizeof at);
    ::listen(fd_.get(), 4);
    socklen_t size = sizeof at;
    ::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&at), &size);
    port_ = ntohs(at.sin_port);
  }
  int port() const { return port_; }
  // The next connection, waiting at most 2 s.
  Fd Accept() {
    pollfd entry{fd_.get(), POLLIN, 0};
    if (::poll(&entry, 1, 2000) != 1) return Fd();
    return Fd(::accept(fd_.get(), nullptr, nullptr));
  }

 private:
  Fd fd_;
  int port_ = 0;
};

}  // namespace

namespace {

// A terminal played by a thread: it accepts one connection, sends the
// greeting bytes, then hands every received line (without CR LF) to
// respond, which may answer, pause or close. It stops when the client
// closes, when respond returns false, or after 10 s.
class LinePeer {
 public:
  using Respond = std::function<bool(const std::string& line, int number, Fd& client)>;
  LinePeer(std::string greeting, Respond respond)
      : thread_([this, greeting = std::move(greeting), respond = std::move(respond)] {
          Serve(greeting, respond);
        }) {}
  int port() const { return listener_.port(); }
  // Waits for the peer to finish and gives the lines it received.
  std::vector<std::string> Lines() {
    if (thread_.joinable()) thread_.join();
    return lines_;
  }

 private:
  void Serve(const std::string& greeting, const Respond& respond) {
    Fd client = listener_.Accept();
    if (client.get() < 0) return;
    if (!greeting.empty()) ::send(client.get(), greeting.data(), greeting.size(), MSG_NOSIGNAL);
    std::string pending;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char chunk[4096];
    while (std::chrono::steady_clock::now() < until) {
      pollfd entry{client.get(), POLLIN, 0};
      if (::poll(&entry, 1, 100) != 1) continue;
      ssize_t got = ::recv(client.get(), chunk, sizeof chunk, 0);
      if (got <= 0) return;
      pending.append(chunk, static_cast<size_t>(got));
      size_t end;
      while ((end = pending.find("\r\n")) != std::string::npos) {
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 2);
        lines_.push_back(line);
        if (!respond(line, static_cast<int>(lines_.size()), client)) return;
      }
    }
  }

  Listener listener_;
  std::vector<std::string> lines_;
  std::jthread thread_;
};

inline void Say(Fd& client, const std::string& text) {
  ::send(client.get(), text.data(), text.size(), MSG_NOSIGNAL);
}

}  // namespace
