// DecryptHexString over any text and key. Layout of an input: the first byte
// is the key's length, then the key, then the hex text (each read as a C
// string). The output area is exactly 8*floor(n/16)+1 bytes; every block
// must equal a separate decryption, the terminator must be in place and the
// cipher state must be all zero afterwards.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/blowfish.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t keyLength = data[0];
  if (keyLength > size - 1) keyLength = size - 1;
  std::string key(reinterpret_cast<const char*>(data) + 1, keyLength);
  std::string hex(reinterpret_cast<const char*>(data) + 1 + keyLength, size - 1 - keyLength);
  key.resize(std::strlen(key.c_str()));
  hex.resize(std::strlen(hex.c_str()));

  size_t blocks = hex.size() / 16;
  std::vector<unsigned char> out(8 * blocks + 1, 0xA5);
  if (DecryptHexString(hex.c_str(), out.data(), key.c_str()) != 1) std::abort();
  if (out[8 * blocks] != 0) std::abort();

  const auto* words = reinterpret_cast<const uint32_t*>(&BfProcessState);
  for (size_t i = 0; i < sizeof(BfState) / sizeof(uint32_t); ++i) {
    if (words[i] != 0) std::abort();
  }

  BfState state;
  BfInit(state, reinterpret_cast<const unsigned char*>(key.data()), key.size());
  for (size_t m = 0; m < blocks; ++m) {
    unsigned char bytes[8];
    HexToBytes(hex.c_str() + 16 * m, 16, bytes);
    uint32_t L = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
    uint32_t R = uint32_t{bytes[4]} | uint32_t{bytes[5]} << 8 | uint32_t{bytes[6]} << 16 | uint32_t{bytes[7]} << 24;
    BfDecrypt(state, L, R);
    for (int k = 0; k < 4; ++k) {
      if (out[8 * m + k] != static_cast<unsigned char>(L >> (8 * k))) std::abort();
      if (out[8 * m + 4 + k] != static_cast<unsigned char>(R >> (8 * k))) std::abort();
    }
    // Encrypting the plain block again gives back the cipher halves.
    BfEncrypt(state, L, R);
    uint32_t L0 = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
    uint32_t R0 = uint32_t{bytes[4]} | uint32_t{bytes[5]} << 8 | uint32_t{bytes[6]} << 16 | uint32_t{bytes[7]} << 24;
    if (L != L0 || R != R0) std::abort();
  }
  BfWipe(state);
  return 0;
}
