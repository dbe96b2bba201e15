#include "terminal/qx_socket.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "support/platform.h"
#include "terminal/socket_platform.h"

int SocketLibraryStarted = 0;

// The peer of the connection opened most recently; every send names it.
static PlatformInetAddress PeerAddress{};

namespace {

constexpr char kTag[] = "QXSocket";
static_assert(sizeof kTag == sizeof(QXSocket{}.tag));

// How often a read looks at the socket again once the peer has closed its
// side: often enough to notice a reset that arrives meanwhile, seldom
// enough not to spin.
constexpr int kClosedPeerRecheckMs = 50;

// A missing object is treated like one without the tag.
bool Tagged(const QXSocket* sock) {
  return sock != nullptr && std::memcmp(sock->tag, kTag, sizeof kTag) == 0;
}

int32_t Fail(QXSocket* sock, int32_t error) {
  sock->lastError = error;
  return error;
}

// Stores error, closes the socket and leaves the object closed.
void FailAndClose(QXSocket* sock, int32_t error) {
  sock->lastError = error;
  PlatformClose(sock->handle);
  sock->handle = kNoSocket;
}

int SecondsUntil(int64_t deadline) {
  int64_t left = deadline - WallClockSeconds();
  if (left < 0) return 0;
  return left > 2000000000 ? 2000000000 : static_cast<int>(left);
}

}  // namespace

QXSocket* SocketCreate(int32_t* error) {
  auto* sock = static_cast<QXSocket*>(std::calloc(1, sizeof(QXSocket)));
  if (sock == nullptr) {
    if (error != nullptr) *error = errno;
    return nullptr;
  }
  std::memcpy(sock->tag, kTag, sizeof kTag);
  sock->handle = kNoSocket;
  if (SocketLibraryStarted == 0) {
    int32_t started = PlatformStartup();
    if (started != 0) {
      std::free(sock);
      if (error != nullptr) *error = started;
      return nullptr;
    }
    SocketLibraryStarted = 1;
  }
  return sock;
}

int32_t SocketFree(QXSocket* sock) {
  if (!Tagged(sock)) return kWsaEInval;
  SocketClose(sock);
  std::free(sock);
  return 0;
}

int32_t SocketSetAddr(QXSocket* sock, const char* text) {
  if (!Tagged(sock)) return kWsaEInval;
  if (text == nullptr || std::strlen(text) > 15) return Fail(sock, kWsaEInval);
  uint32_t converted = PlatformParseDotted(text);
  // 255.255.255.255 cannot be told from a failed conversion, and 0.0.0.0 is
  // no peer: both are refused.
  if (converted == kInaddrNone || converted == 0) return Fail(sock, kWsaEInval);
  sock->address = converted;
  std::strcpy(sock->addressText, text);
  return 0;
}

int32_t SocketResolve(QXSocket* sock, const char* name) {
  if (!Tagged(sock)) return kWsaEInval;
  if (name == nullptr || std::strlen(name) >= sizeof sock->hostName) return Fail(sock, kWsaEInval);
  uint32_t found = 0;
  int32_t status = PlatformLookupIPv4(name, &found);
  if (status != 0) return Fail(sock, status);
  sock->address = found;
  std::strcpy(sock->hostName, name);
  return 0;
}

int32_t SocketSetPort(QXSocket* sock, int port) {
  if (!Tagged(sock)) return kWsaEInval;
  sock->port = static_cast<uint16_t>(port & 0xFFFF);
  return 0;
}

int32_t SocketSetTimeout(QXSocket* sock, int seconds) {
  if (!Tagged(sock)) return kWsaEInval;
  sock->timeout = seconds;
  return 0;
}

int32_t SocketOpen(QXSocket* sock) {
  if (!Tagged(sock)) return kWsaEInval;
  sock->handle = PlatformSocketTcp();
  if (sock->handle == kNoSocket) return Fail(sock, PlatformLastError());
  if (PlatformSetNonBlocking(sock->handle) != 0) return Fail(sock, PlatformLastError());
  if (sock->address == 0) {
    FailAndClose(sock, kWsaEAddrNotAvail);
    return kWsaEAddrNotAvail;
  }
  PeerAddress = PlatformInetAddress{};
  PeerAddress.family = kAfInet;
  const uint8_t portBytes[2] = {static_cast<uint8_t>(sock->port >> 8),
                                static_cast<uint8_t>(sock->port & 0xFF)};
  std::memcpy(&PeerAddress.port, portBytes, sizeof portBytes);  // network byte order
  PeerAddress.address = sock->address;
  if (PlatformConnect(sock->handle, PeerAddress) != 0) {
    int32_t error = PlatformLastError();
    sock->lastError = error;
    if (error != kWsaEWouldBlock) {
      FailAndClose(sock, error);
      return error;
    }
  }
  int ready = PlatformWaitWritable(sock->handle, sock->timeout);
  if (ready == 0) {
    FailAndClose(sock, kWsaEConnAborted);
    return kWsaEConnAborted;
  }
  if (ready < 0) {
    int32_t error = PlatformLastError();
    FailAndClose(sock, error);
    return error;
  }
  // Writable also means "the attempt has ended"; a refused or unreachable
  // peer must be reported now, not taken for an open connection.
  int32_t outcome = PlatformConnectOutcome(sock->handle);
  if (outcome != 0) {
    FailAndClose(sock, outcome);
    return outcome;
  }
  return 0;
}

int32_t SocketClose(QXSocket* sock) {
  if (!Tagged(sock)) return kWsaEInval;
  if (sock->handle == kNoSocket) return 0;
  int32_t result = 0;
  if (PlatformClose(sock->handle) != 0) result = Fail(sock, PlatformLastError());
  sock->handle = kNoSocket;
  return result;
}

int SocketRead(QXSocket* sock, char* buffer, int size, int minimum) {
  if (!Tagged(sock)) return -1;
  if (sock->handle == kNoSocket) {
    sock->lastError = kWsaEInval;
    return -1;
  }
  int target = size < minimum ? size : minimum;
  int64_t deadline = WallClockSeconds() + sock->timeout;
  int total = 0;
  bool peerClosed = false;
  for (;;) {
    // Once the peer has closed, the socket is readable at once on every
    // pass; pausing between passes keeps the wait for the deadline cheap.
    if (peerClosed) PlatformSleepMilliseconds(kClosedPeerRecheckMs);
    int ready = PlatformWaitReadable(sock->handle, SecondsUntil(deadline));
    if (ready == 0) return 0;
    if (ready < 0) {
      FailAndClose(sock, PlatformLastError());
      return -1;
    }
    int got = PlatformReceive(sock->handle, buffer + total, size - total);
    if (got < 0) {
      FailAndClose(sock, PlatformLastError());
      return -1;
    }
    if (got == 0) peerClosed = true;
    total += got;
    if (total >= target) return total;
    if (WallClockSeconds() >= deadline) return total;
  }
}

int SocketWrite(QXSocket* sock, const char* data, int length, int wait) {
  if (!Tagged(sock)) return -1;
  if (sock->handle == kNoSocket) {
    sock->lastError = kWsaEInval;
    return -1;
  }
  int sent = PlatformSend(sock->handle, data, length, PeerAddress);
  if (sent < 0) {
    FailAndClose(sock, PlatformLastError());
    return -1;
  }
  if (wait == 0) return sent;
  int ready = PlatformWaitWritable(sock->handle, sock->timeout);
  if (ready == 0) {
    FailAndClose(sock, kWsaEConnAborted);
    return 0;
  }
  if (ready < 0) {
    FailAndClose(sock, PlatformLastError());
    return -1;
  }
  return length;
}

int32_t SocketError(QXSocket* sock) {
  if (!Tagged(sock)) return kWsaEInval;
  return sock->lastError;
}
