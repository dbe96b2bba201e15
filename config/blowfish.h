// Blowfish block cipher (standard key schedule, 16 rounds, ECB) and the
// hexadecimal decoding used for the login file's values.
//
// Byte order: the 8 bytes b0..b7 of a block form the halves
// L = b0 | b1<<8 | b2<<16 | b3<<24 and R = b4 | ... | b7<<24 (least
// significant byte first); the key is packed most significant byte first.
#pragma once

#include <cstddef>
#include <cstdint>

struct BfState {
  uint32_t P[18];
  uint32_t S0[256];
  uint32_t S1[256];
  uint32_t S2[256];
  uint32_t S3[256];
};

// The one process-wide state. It belongs to DecryptHexString, which keys it
// at the start of each call and wipes it to zero before returning.
extern BfState BfProcessState;

// The standard initial P-array and S-boxes (the fractional digits of pi),
// read-only.
const BfState& BfInitialTables();

// Overwrites every word of the state with zero in a way the compiler may not
// drop, even when the state is never read again.
void BfWipe(BfState& state);

// Overwrites count bytes with zero in the same lasting way.
void BfWipeBytes(unsigned char* bytes, size_t count);

// Keys the state with length bytes of key. An empty key acts as one zero byte;
// bytes beyond the 72nd have no effect.
void BfInit(BfState& state, const unsigned char* key, size_t length);

// Encrypts / decrypts the halves L and R in place.
void BfEncrypt(const BfState& state, uint32_t& L, uint32_t& R);
void BfDecrypt(const BfState& state, uint32_t& L, uint32_t& R);

// Decodes count characters of text, two per byte, into count/2 bytes of out
// (nothing when count is below 2). 'A'-'F' count c-55, every other
// character c-48, both modulo 256; lower-case a-f are not hex digits.
void HexToBytes(const char* text, size_t count, unsigned char* out);

// Decrypts each whole 16-character block of hex with the key text and stores
// the plain bytes followed by a zero byte in out, which must hold
// 8*floor(n/16)+1 bytes for n characters (n+1 is always enough). A trailing
// part shorter than 16 characters is not decrypted. The cipher state is
// wiped afterwards. Always returns 1.
int DecryptHexString(const char* hex, unsigned char* out, const char* key);
