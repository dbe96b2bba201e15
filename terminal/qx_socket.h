// The terminal connection object: a tagged record around one non-blocking
// TCP socket. Every failure is reported as a WinSock error number, on every
// platform.
#pragma once

#include <cstdint>

// Error numbers the object produces itself.
inline constexpr int32_t kWsaEInval = 10022;
inline constexpr int32_t kWsaEWouldBlock = 10035;
inline constexpr int32_t kWsaEAddrNotAvail = 10049;
inline constexpr int32_t kWsaEConnAborted = 10053;

struct QXSocket {
  char tag[9];           // "QXSocket" and its terminator; checked by every operation
  int handle;            // the TCP socket while open; -1 means none
  int32_t lastError;     // error number stored by the latest operation that stored one
  uint32_t address;      // peer IPv4 address in network byte order; 0 means none
  char addressText[16];  // the dotted address given to SocketSetAddr
  char hostName[256];    // the host name given to SocketResolve
  uint16_t port;         // peer TCP port in host byte order
  int32_t timeout;       // seconds for connecting, reading and waiting after a send
};

// 1 after the socket library was started once; never reset.
extern int SocketLibraryStarted;

// Returns a new closed object, or null with an error number in *error.
QXSocket* SocketCreate(int32_t* error);
int32_t SocketFree(QXSocket* sock);
int32_t SocketSetAddr(QXSocket* sock, const char* text);
int32_t SocketResolve(QXSocket* sock, const char* name);
int32_t SocketSetPort(QXSocket* sock, int port);
int32_t SocketSetTimeout(QXSocket* sock, int seconds);
int32_t SocketOpen(QXSocket* sock);
int32_t SocketClose(QXSocket* sock);
// Bytes received (the buffer is not terminated); 0 on time-out; -1 on error.
int SocketRead(QXSocket* sock, char* buffer, int size, int minimum);
// -1 on error. Otherwise: with wait 0 the count the send accepted; with wait
// non-zero, length once the socket is writable again, or 0 (and the object
// closed, 10053 stored) when it does not become writable within timeout.
int SocketWrite(QXSocket* sock, const char* data, int length, int wait);
int32_t SocketError(QXSocket* sock);
