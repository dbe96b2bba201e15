// The operating-system side of the terminal connection: the few socket
// calls the connection object needs, behind one small boundary.
// socket_platform_posix.cpp implements it for Berkeley sockets; a
// socket_platform_windows.cpp can stand beside it. Every error number that
// leaves this boundary is a WinSock number, whatever the platform.
#pragma once

#include <cstdint>

// No socket: the value of QXSocket::handle while closed.
inline constexpr int kNoSocket = -1;
// Address family of an IPv4 socket address (the same number everywhere).
inline constexpr uint16_t kAfInet = 2;
// The dotted-address conversion's "no address" result (255.255.255.255).
inline constexpr uint32_t kInaddrNone = 0xFFFFFFFFu;

// An IPv4 socket address, laid out as the platform's 16-byte record.
struct PlatformInetAddress {
  uint16_t family;    // kAfInet
  uint16_t port;      // network byte order
  uint32_t address;   // network byte order
  uint8_t zero[8];
};

// Where an error number to be mapped came from.
enum class PlatformErrorSource {
  kSystem,  // the socket layer's own error (errno on POSIX)
  kLookup,  // a host-lookup failure (getaddrinfo's result on POSIX)
};

// Maps a platform error to its WinSock number. The one table of the
// translation lives behind this call.
int32_t PlatformMapError(PlatformErrorSource source, int code);

// The WinSock number of the latest failing socket call of this thread.
int32_t PlatformLastError();

// Starts the socket library once per process (a no-op where none exists).
// Returns 0, or the WinSock number of the failure.
int32_t PlatformStartup();

// A new TCP stream socket, or kNoSocket.
int PlatformSocketTcp();
// Switches the socket to non-blocking mode. 0, or -1 on failure.
int PlatformSetNonBlocking(int handle);
// Starts a connection. 0 when it succeeded at once, -1 on failure (a pending
// attempt is a failure whose last error is 10035).
int PlatformConnect(int handle, const PlatformInetAddress& peer);
// The outcome of a connection attempt once the socket has become writable:
// 0 when it succeeded, otherwise its WinSock number.
int32_t PlatformConnectOutcome(int handle);
// Waits at most seconds (0 only polls) for the socket to become writable or
// readable. 1 ready (an error condition counts as ready), 0 time-out, -1
// failure.
int PlatformWaitWritable(int handle, int seconds);
int PlatformWaitReadable(int handle, int seconds);
// Receives at most length bytes. The count (0 when the peer has closed its
// side and no error is pending), or -1 on failure.
int PlatformReceive(int handle, char* buffer, int length);
// Sends length bytes in one call to the connected peer; never raises a
// signal. The count accepted, or -1 on failure (also when it would block).
int PlatformSend(int handle, const char* data, int length, const PlatformInetAddress& peer);
// Closes the socket. 0, or -1 on failure.
int PlatformClose(int handle);
// The dotted-IPv4 conversion: the address in network byte order, or
// kInaddrNone when the text is not an address.
uint32_t PlatformParseDotted(const char* text);
// Looks a host name up for IPv4 and gives the first address of the answer
// (network byte order). 0, or the WinSock number of the lookup failure.
int32_t PlatformLookupIPv4(const char* name, uint32_t* address);
// Sleeps for the given milliseconds.
void PlatformSleepMilliseconds(int milliseconds);
