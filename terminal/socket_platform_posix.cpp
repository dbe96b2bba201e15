// Berkeley sockets behind the terminal connection's platform boundary.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "terminal/socket_platform.h"

namespace {

struct ErrorMapping {
  PlatformErrorSource source;
  int code;
  int32_t winsock;
};

// The whole translation to WinSock numbers. A pending connect (EINPROGRESS)
// is the would-block code, as WinSock reports it; a send to a peer that has
// gone away (EPIPE) is the shut-down code.
const ErrorMapping kErrorTable[] = {
    {PlatformErrorSource::kSystem, EINTR, 10004},
    {PlatformErrorSource::kSystem, EBADF, 10009},
    {PlatformErrorSource::kSystem, EACCES, 10013},
    {PlatformErrorSource::kSystem, EFAULT, 10014},
    {PlatformErrorSource::kSystem, EINVAL, 10022},
    {PlatformErrorSource::kSystem, EMFILE, 10024},
    {PlatformErrorSource::kSystem, ENFILE, 10024},
    {PlatformErrorSource::kSystem, EWOULDBLOCK, 10035},
    {PlatformErrorSource::kSystem, EAGAIN, 10035},
    {PlatformErrorSource::kSystem, EINPROGRESS, 10035},
    {PlatformErrorSource::kSystem, EALREADY, 10037},
    {PlatformErrorSource::kSystem, ENOTSOCK, 10038},
    {PlatformErrorSource::kSystem, EDESTADDRREQ, 10039},
    {PlatformErrorSource::kSystem, EMSGSIZE, 10040},
    {PlatformErrorSource::kSystem, EPROTOTYPE, 10041},
    {PlatformErrorSource::kSystem, ENOPROTOOPT, 10042},
    {PlatformErrorSource::kSystem, EPROTONOSUPPORT, 10043},
    {PlatformErrorSource::kSystem, ESOCKTNOSUPPORT, 10044},
    {PlatformErrorSource::kSystem, EOPNOTSUPP, 10045},
    {PlatformErrorSource::kSystem, EPFNOSUPPORT, 10046},
    {PlatformErrorSource::kSystem, EAFNOSUPPORT, 10047},
    {PlatformErrorSource::kSystem, EADDRINUSE, 10048},
    {PlatformErrorSource::kSystem, EADDRNOTAVAIL, 10049},
    {PlatformErrorSource::kSystem, ENETDOWN, 10050},
    {PlatformErrorSource::kSystem, ENETUNREACH, 10051},
    {PlatformErrorSource::kSystem, ENETRESET, 10052},
    {PlatformErrorSource::kSystem, ECONNABORTED, 10053},
    {PlatformErrorSource::kSystem, ECONNRESET, 10054},
    {PlatformErrorSource::kSystem, ENOBUFS, 10055},
    {PlatformErrorSource::kSystem, ENOMEM, 10055},
    {PlatformErrorSource::kSystem, EISCONN, 10056},
    {PlatformErrorSource::kSystem, ENOTCONN, 10057},
    {PlatformErrorSource::kSystem, ESHUTDOWN, 10058},
    {PlatformErrorSource::kSystem, EPIPE, 10058},
    {PlatformErrorSource::kSystem, ETOOMANYREFS, 10059},
    {PlatformErrorSource::kSystem, ETIMEDOUT, 10060},
    {PlatformErrorSource::kSystem, ECONNREFUSED, 10061},
    {PlatformErrorSource::kSystem, ELOOP, 10062},
    {PlatformErrorSource::kSystem, ENAMETOOLONG, 10063},
    {PlatformErrorSource::kSystem, EHOSTDOWN, 10064},
    {PlatformErrorSource::kSystem, EHOSTUNREACH, 10065},
    {PlatformErrorSource::kLookup, EAI_NONAME, 11001},
    {PlatformErrorSource::kLookup, EAI_AGAIN, 11002},
    {PlatformErrorSource::kLookup, EAI_FAIL, 11003},
    {PlatformErrorSource::kLookup, EAI_NODATA, 11004},
    {PlatformErrorSource::kLookup, EAI_ADDRFAMILY, 11004},
    {PlatformErrorSource::kLookup, EAI_FAMILY, 10047},
    {PlatformErrorSource::kLookup, EAI_MEMORY, 10055},
};

// What a socket failure without its own WinSock number is reported as
// (WSASYSCALLFAILURE), and a host lookup that failed in some other way
// (WSANO_RECOVERY).
constexpr int32_t kUnmappedSystemError = 10107;
constexpr int32_t kUnmappedLookupError = 11003;

int WaitFor(int handle, short events, int seconds) {
  pollfd entry{};
  entry.fd = handle;
  entry.events = events;
  // Whole seconds; a negative wait only polls.
  int64_t wanted = seconds > 0 ? static_cast<int64_t>(seconds) * 1000 : 0;
  int milliseconds = wanted > 2000000000 ? 2000000000 : static_cast<int>(wanted);
  int ready = ::poll(&entry, 1, milliseconds);
  if (ready < 0) return -1;
  if (ready == 0) return 0;
  if (entry.revents & POLLNVAL) {
    errno = EBADF;
    return -1;
  }
  return 1;
}

sockaddr_in ToSockaddr(const PlatformInetAddress& peer) {
  sockaddr_in out{};
  out.sin_family = AF_INET;
  out.sin_port = peer.port;
  out.sin_addr.s_addr = peer.address;
  return out;
}

}  // namespace

int32_t PlatformMapError(PlatformErrorSource source, int code) {
  if (source == PlatformErrorSource::kLookup && code == EAI_SYSTEM) {
    return PlatformMapError(PlatformErrorSource::kSystem, errno);
  }
  for (const ErrorMapping& entry : kErrorTable) {
    if (entry.source == source && entry.code == code) return entry.winsock;
  }
  return source == PlatformErrorSource::kLookup ? kUnmappedLookupError : kUnmappedSystemError;
}

int32_t PlatformLastError() { return PlatformMapError(PlatformErrorSource::kSystem, errno); }

int32_t PlatformStartup() { return 0; }

int PlatformSocketTcp() {
  int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  return handle < 0 ? kNoSocket : handle;
}

int PlatformSetNonBlocking(int handle) {
  int flags = ::fcntl(handle, F_GETFL, 0);
  if (flags < 0) return -1;
  return ::fcntl(handle, F_SETFL, flags | O_NONBLOCK) < 0 ? -1 : 0;
}

int PlatformConnect(int handle, const PlatformInetAddress& peer) {
  sockaddr_in target = ToSockaddr(peer);
  return ::connect(handle, reinterpret_cast<const sockaddr*>(&target), sizeof target) < 0 ? -1 : 0;
}

int32_t PlatformConnectOutcome(int handle) {
  int pending = 0;
  socklen_t size = sizeof pending;
  if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &pending, &size) < 0) return PlatformLastError();
  return pending == 0 ? 0 : PlatformMapError(PlatformErrorSource::kSystem, pending);
}

int PlatformWaitWritable(int handle, int seconds) { return WaitFor(handle, POLLOUT, seconds); }

int PlatformWaitReadable(int handle, int seconds) { return WaitFor(handle, POLLIN, seconds); }

int PlatformReceive(int handle, char* buffer, int length) {
  ssize_t got = ::recv(handle, buffer, static_cast<size_t>(length > 0 ? length : 0), 0);
  if (got < 0) return -1;
  if (got == 0 && length > 0) {
    // After the peer's close a later reset is only left as a pending error;
    // a receive must still fail on it.
    int pending = 0;
    socklen_t size = sizeof pending;
    if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &pending, &size) == 0 && pending != 0) {
      errno = pending;
      return -1;
    }
  }
  return static_cast<int>(got);
}

int PlatformSend(int handle, const char* data, int length, const PlatformInetAddress& peer) {
  // The stream socket is connected to peer already; MSG_NOSIGNAL turns a
  // send to a vanished peer into an error number instead of SIGPIPE.
  (void)peer;
  ssize_t sent = ::send(handle, data, static_cast<size_t>(length > 0 ? length : 0), MSG_NOSIGNAL);
  return sent < 0 ? -1 : static_cast<int>(sent);
}

int PlatformClose(int handle) { return ::close(handle) < 0 ? -1 : 0; }

uint32_t PlatformParseDotted(const char* text) { return ::inet_addr(text); }

int32_t PlatformLookupIPv4(const char* name, uint32_t* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* answer = nullptr;
  int status = ::getaddrinfo(name, nullptr, &hints, &answer);
  if (status != 0) return PlatformMapError(PlatformErrorSource::kLookup, status);
  int32_t result = PlatformMapError(PlatformErrorSource::kLookup, EAI_NODATA);
  for (addrinfo* entry = answer; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
      sockaddr_in found{};
      std::memcpy(&found, entry->ai_addr, sizeof found);
      *address = found.sin_addr.s_addr;
      result = 0;
      break;
    }
  }
  ::freeaddrinfo(answer);
  return result;
}

void PlatformSleepMilliseconds(int milliseconds) {
  timespec pause{};
  pause.tv_sec = milliseconds / 1000;
  pause.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (::nanosleep(&pause, &pause) < 0 && errno == EINTR) {
  }
}
