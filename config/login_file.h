// Encrypted login file: two-line entries (header line, value line) whose
// values are Blowfish ciphertext in upper-case hex.
#pragma once

#include <cstdint>
#include <string>

// Location of the login file, relative to the working directory.
inline constexpr const char* kLoginFilePath = "../../Files/Orvantis.Ini";

// The key text the values are encrypted with.
inline constexpr const char* kLoginCipherKey = "QUARNEL";

// Width of the working fields (section text, key text, value text).
inline constexpr size_t kLoginFieldWidth = 200;

// Decrypted value of the latest lookup; empty when the file could not be
// opened or no entry matched. Cleared at the start of every lookup.
extern std::string LoginValue;

// Looks up the first entry whose section text equals section, or whose key
// text equals key, or whose entry number equals number, in the file at path,
// and leaves its decrypted value (up to its first zero byte) in LoginValue.
void ReadLoginValue(const char* section, const char* key, int32_t number, const char* path);
