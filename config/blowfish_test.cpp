// The cipher is checked against OpenSSL's Blowfish as an independent
// implementation. OpenSSL packs each half most significant byte first, this
// system least significant byte first: the bytes of each half are reversed
// between the two.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "config/blowfish.h"

namespace {

std::vector<unsigned char> FromHex(const std::string& hex) {
  std::vector<unsigned char> bytes(hex.size() / 2);
  HexToBytes(hex.c_str(), hex.size(), bytes.data());
  return bytes;
}

std::string ToHex(const unsigned char* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (size_t i = 0; i < count; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 15];
  }
  return hex;
}

uint32_t BigEndian(const unsigned char* b) {
  return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
}
uint32_t LittleEndian(const unsigned char* b) {
  return uint32_t{b[3]} << 24 | uint32_t{b[2]} << 16 | uint32_t{b[1]} << 8 | b[0];
}

// Reverses the bytes within each 4-byte half of every 8-byte block.
std::vector<unsigned char> SwapHalves(std::vector<unsigned char> bytes) {
  for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    std::swap(bytes[i], bytes[i + 3]);
    std::swap(bytes[i + 1], bytes[i + 2]);
  }
  return bytes;
}

bool AllZero(const BfState& state) {
  const auto* words = reinterpret_cast<const uint32_t*>(&state);
  for (size_t i = 0; i < 1042; ++i) {
    if (words[i] != 0) return false;
  }
  return true;
}

TEST(Blowfish, InitialTablesHoldTheDigitsOfPi) {
  static_assert(sizeof(BfState) == 1042 * 4);
  const BfState& t = BfInitialTables();
  EXPECT_EQ(t.P[0], 0x243F6A88u);
  EXPECT_EQ(t.P[1], 0x85A308D3u);
  EXPECT_EQ(t.P[17], 0x8979FB1Bu);
  EXPECT_EQ(t.S0[0], 0xD1310BA6u);
  EXPECT_EQ(t.S3[255], 0x3AC372E6u);
}

// Published vectors, each half written most significant byte first.
TEST(Blowfish, PublishedVectors) {
  struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
  };
  const Vector vectors[] = {
      {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
      {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
      {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
      {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
      {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
      {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
      {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
      {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
      // The variable-length key "abcdefghijklmnopqrstuvwxyz" on "BLOWFISH".
      {"6162636465666768696A6B6C6D6E6F707172737475767778797A", "424C4F5746495348",
       "324ED0FEF413A203"},
  };
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.key);
    std::vector<unsigned char> key = FromHex(v.key);
    std::vector<unsigned char> plain = FromHex(v.plain);
    std::vector<unsigned char> cipher = FromHex(v.cipher);
    BfState state;
    BfInit(state, key.data(), key.size());
    uint32_t L = BigEndian(plain.data());
    uint32_t R = BigEndian(plain.data() + 4);
    BfEncrypt(state, L, R);
    EXPECT_EQ(L, BigEndian(cipher.data()));
    EXPECT_EQ(R, BigEndian(cipher.data() + 4));
    BfDecrypt(state, L, R);
    EXPECT_EQ(L, BigEndian(plain.data()));
    EXPECT_EQ(R, BigEndian(plain.data() + 4));

    // Through the hex decoder (for keys that can be written as text): the
    // ciphertext with each half reversed decrypts to the plain text with
    // each half reversed.
    std::string keyText(key.begin(), key.end());
    if (keyText.find('\0') == std::string::npos) {
      std::string hex = ToHex(SwapHalves(cipher).data(), 8);
      unsigned char out[9];
      DecryptHexString(hex.c_str(), out, keyText.c_str());
      EXPECT_EQ(ToHex(out, 8), ToHex(SwapHalves(plain).data(), 8));
    }
  }
}

TEST(Blowfish, MatchesOpenSslForRandomKeysAndBlocks) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  for (size_t length = 1; length <= 72; ++length) {
    std::vector<unsigned char> key(length);
    for (auto& b : key) b = static_cast<unsigned char>(byte(random));
    BF_KEY reference;
    BF_set_key(&reference, static_cast<int>(length), key.data());
    BfState state;
    BfInit(state, key.data(), length);
    for (int round = 0; round < 8; ++round) {
      std::vector<unsigned char> block(8);
      for (auto& b : block) b = static_cast<unsigned char>(byte(random));
      std::vector<unsigned char> swapped = SwapHalves(block);
      unsigned char encrypted[8];
      unsigned char decrypted[8];
      BF_ecb_encrypt(swapped.data(), encrypted, &reference, BF_ENCRYPT);
      BF_ecb_encrypt(swapped.data(), decrypted, &reference, BF_DECRYPT);

      uint32_t L = LittleEndian(block.data());
      uint32_t R = LittleEndian(block.data() + 4);
      BfEncrypt(state, L, R);
      ASSERT_EQ(L, BigEndian(encrypted)) << "key length " << length;
      ASSERT_EQ(R, BigEndian(encrypted + 4)) << "key length " << length;
      L = LittleEndian(block.data());
      R = LittleEndian(block.data() + 4);
      BfDecrypt(state, L, R);
      ASSERT_EQ(L, BigEndian(decrypted)) << "key length " << length;
      ASSERT_EQ(R, BigEndian(decrypted + 4)) << "key length " << length;
    }
  }
}

// Whole hex texts encrypted by OpenSSL with text keys (also longer than 72
// bytes, which OpenSSL cuts to 72 as the key schedule does) decrypt back.
TEST(Blowfish, DecryptHexStringUndoesOpenSslEncryption) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> printable(32, 255);
  std::uniform_int_distribution<int> byte(0, 255);
  for (size_t keyLength : {1u, 7u, 8u, 56u, 72u, 73u, 100u}) {
    std::string key;
    for (size_t i = 0; i < keyLength; ++i) key += static_cast<char>(printable(random));
    BF_KEY reference;
    BF_set_key(&reference, static_cast<int>(key.size()),
               reinterpret_cast<const unsigned char*>(key.data()));
    for (size_t blocks : {1u, 2u, 12u}) {
      std::vector<unsigned char> plain(8 * blocks);
      for (auto& b : plain) b = static_cast<unsigned char>(byte(random));
      std::vector<unsigned char> swapped = SwapHalves(plain);
      std::vector<unsigned char> cipher(plain.size());
      for (size_t m = 0; m < blocks; ++m) {
        BF_ecb_encrypt(swapped.data() + 8 * m, cipher.data() + 8 * m, &reference, BF_ENCRYPT);
      }
      std::string hex = ToHex(SwapHalves(cipher).data(), cipher.size());
      std::vector<unsigned char> out(plain.size() + 1, 0xAA);
      EXPECT_EQ(DecryptHexString(hex.c_str(), out.data(), key.c_str()), 1);
      EXPECT_EQ(ToHex(out.data(), plain.size()), ToHex(plain.data(), plain.size()))
          << "key length " << keyLength << ", blocks " << blocks;
      EXPECT_EQ(out.back(), 0);
      EXPECT_TRUE(AllZero(BfProcessState));
    }
  }
}

TEST(Blowfish, KeySchedule) {
  std::vector<unsigned char> longKey(100);
  for (size_t i = 0; i < longKey.size(); ++i) longKey[i] = static_cast<unsigned char>(i * 37 + 1);
  BfState full;
  BfState cut;
  BfInit(full, longKey.data(), longKey.size());
  BfInit(cut, longKey.data(), 72);
  EXPECT_EQ(std::memcmp(&full, &cut, sizeof full), 0) << "bytes past the 72nd must not count";
  BfState seventyOne;
  BfInit(seventyOne, longKey.data(), 71);
  EXPECT_NE(std::memcmp(&full, &seventyOne, sizeof full), 0) << "the 72nd byte must count";

  const unsigned char zero[1] = {0};
  BfState empty;
  BfState oneZero;
  BfInit(empty, zero, 0);
  BfInit(oneZero, zero, 1);
  EXPECT_EQ(std::memcmp(&empty, &oneZero, sizeof empty), 0) << "an empty key acts as one zero byte";
}

TEST(Blowfish, HexToBytes) {
  struct Case {
    const char* text;
    size_t count;
    std::vector<int> bytes;
  };
  const Case cases[] = {
      {"0123456789ABCDEF", 16, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}},
      {"0a", 2, {49}},           // lower case is no hex digit: 'a' counts 49
      {"G0", 2, {112}},          // 'G' counts 23, 16*23 mod 256 = 112
      {"FF00", 4, {255, 0}},
      {"\xFF\x01", 2, {(16 * (0xFF - 48) + (1 - 48 + 256)) % 256}},
      {"ABC", 3, {0xAB}},        // an odd count drops the last character
      {"A", 1, {}},              // below 2 characters nothing is written
      {"", 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    unsigned char out[10];
    std::memset(out, 0x5A, sizeof out);
    HexToBytes(c.text, c.count, out);
    for (size_t i = 0; i < c.bytes.size(); ++i) EXPECT_EQ(out[i], c.bytes[i]) << "byte " << i;
    EXPECT_EQ(out[c.bytes.size()], 0x5A) << "wrote past count/2 bytes";
  }
}

TEST(Blowfish, DecryptHexStringLengths) {
  const std::string block = "0123456789ABCDEF";
  // The mapping of the sixteen characters onto the halves: L = 67452301,
  // R = EFCDAB89; the output bytes are the decrypted halves, least
  // significant byte first.
  BfState state;
  BfInit(state, reinterpret_cast<const unsigned char*>("QUARNEL"), 7);
  uint32_t L = 0x67452301;
  uint32_t R = 0xEFCDAB89;
  BfDecrypt(state, L, R);
  unsigned char expected[8];
  for (int i = 0; i < 4; ++i) {
    expected[i] = static_cast<unsigned char>(L >> (8 * i));
    expected[4 + i] = static_cast<unsigned char>(R >> (8 * i));
  }

  struct Case {
    std::string hex;
    size_t plainBytes;
  };
  const Case cases[] = {
      {"", 0},
      {"0123456789ABCDE", 0},
      {block, 8},
      {block + "0", 8},
      {block + "0123456789ABCDE", 8},
      {block + block, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex.size());
    std::vector<unsigned char> out(c.hex.size() + 1, 0xAA);
    EXPECT_EQ(DecryptHexString(c.hex.c_str(), out.data(), "QUARNEL"), 1);
    for (size_t m = 0; m < c.plainBytes / 8; ++m) {
      EXPECT_EQ(std::memcmp(out.data() + 8 * m, expected, 8), 0) << "block " << m;
    }
    EXPECT_EQ(out[c.plainBytes], 0) << "terminator";
    for (size_t i = c.plainBytes + 1; i < out.size(); ++i) EXPECT_EQ(out[i], 0xAA) << "byte " << i;
    EXPECT_TRUE(AllZero(BfProcessState)) << "cipher state not wiped";
  }
}

TEST(Blowfish, WipeClearsEveryWord) {
  BfState state;
  BfInit(state, reinterpret_cast<const unsigned char*>("key"), 3);
  ASSERT_FALSE(AllZero(state));
  BfWipe(state);
  EXPECT_TRUE(AllZero(state));
}

}  // namespace
