// ReadLoginValue over a file written from the input. Layout of an input: the
// first line is the key to look up, the rest is the file. Lookups are made
// as velqreg makes them (empty section, number 0) and with a section and a
// number that a file can only match on purpose.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/blowfish.h"
#include "config/login_file.h"
#include "fuzz_temp_file.h"

namespace {

void Check() {
  // At most 200 hex characters are decrypted: 12 blocks of 8 bytes, read up
  // to the first zero byte.
  if (LoginValue.size() > 96) std::abort();
  if (LoginValue.find('\0') != std::string::npos) std::abort();
  const auto* words = reinterpret_cast<const uint32_t*>(&BfProcessState);
  for (size_t i = 0; i < sizeof(BfState) / sizeof(uint32_t); ++i) {
    if (words[i] != 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzTempFile file("login_file");
  const char* p = reinterpret_cast<const char*>(data);
  const char* end = p + size;
  const char* lf = static_cast<const char*>(std::memchr(p, '\n', size));
  std::string key(p, lf != nullptr ? lf : end);
  const char* rest = lf != nullptr ? lf + 1 : end;
  const char* path = file.Write(rest, static_cast<size_t>(end - rest));

  ReadLoginValue("", key.c_str(), 0, path);
  Check();
  ReadLoginValue("SECTION", key.c_str(), 7, path);
  Check();
  file.Remove();
  ReadLoginValue("", key.c_str(), 0, path);
  if (!LoginValue.empty()) std::abort();  // a missing file gives the empty value
  return 0;
}
