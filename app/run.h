// One run of the tool: command line, database, entry lists, terminal
// transfer, terminal row and the final output line.
#pragma once

#include <cstdint>

inline constexpr int kTerminalPort = 5010;
inline constexpr int kTerminalTimeoutSeconds = 30;
inline constexpr const char* kTransferName = "Registry";
inline constexpr int16_t kTransferType = 40;
inline constexpr int kExitBadCommandLine = 91;

// Turns a failing status into the process's exit status: its low 8 bits,
// or 255 where those are 0, so that a failure never reads as success.
int ExitStatusFor(int32_t status);

// Runs the whole transfer for the command line and returns the exit status.
int RunVelqreg(int argc, char** argv);
