// ReadIniValue over a file written from the input. Layout of an input: the
// first byte picks the size of out, the first line after it is the section,
// the next the key, the rest is the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "config/ini_reader.h"
#include "fuzz_temp_file.h"

namespace {

std::string TakeLine(const char*& p, const char* end) {
  const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
  const char* stop = lf != nullptr ? lf : end;
  std::string line(p, stop);
  p = lf != nullptr ? lf + 1 : end;
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzTempFile file("ini_reader");
  if (size == 0) return 0;
  // Sizes from 1 (no room for a value) to 256, and the callers' 2050.
  int max = data[0] == 0xFF ? 2050 : data[0] + 1;
  const char* p = reinterpret_cast<const char*>(data) + 1;
  const char* end = reinterpret_cast<const char*>(data) + size;
  std::string section = TakeLine(p, end);
  std::string key = TakeLine(p, end);
  const char* path = file.Write(p, static_cast<size_t>(end - p));

  // out is exactly max bytes on the heap, so any write past it is caught.
  std::vector<char> out(static_cast<size_t>(max), '\x5A');
  out[0] = '\0';
  int result = ReadIniValue(section.c_str(), key.c_str(), out.data(), max, path);
  size_t length = strnlen(out.data(), out.size());
  if (length == out.size()) std::abort();  // unterminated
  if (result != static_cast<int>(length)) std::abort();
  if (result > std::max(0, max - 2)) std::abort();
  file.Remove();
  return 0;
}
