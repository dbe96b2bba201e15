// Terminal login and the UPDSYSDB transfer of the entry lists, with CRC-16.
#pragma once

#include <cstddef>
#include <cstdint>

// The fixed terminal login.
inline constexpr const char* kTerminalUser = "Supervisor";
inline constexpr const char* kTerminalPassword = "m3p8w2r6t1hjcv";

// One step of CRC-16/ARC (reflected polynomial 0xA001).
uint16_t Crc16Update(uint8_t byte, uint16_t crc);
// CRC of length bytes of data, continued from start.
uint16_t Crc16(const void* data, size_t length, uint16_t start);

// Logs in and sends one UPDSYSDB command per entry of ValueList.
void SendRegistry();
