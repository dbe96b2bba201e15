// A per-process file that the file-reading fuzz targets write each input to.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

class FuzzTempFile {
 public:
  explicit FuzzTempFile(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/velq_" + name + "_" +
            std::to_string(static_cast<long>(getpid()));
  }
  ~FuzzTempFile() { std::remove(path_.c_str()); }
  FuzzTempFile(const FuzzTempFile&) = delete;
  FuzzTempFile& operator=(const FuzzTempFile&) = delete;

  // Replaces the file's content; aborts when it cannot be written, since
  // the target would then test nothing.
  const char* Write(const char* bytes, size_t size) {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(bytes, 1, size, f) != size) std::abort();
    if (std::fclose(f) != 0) std::abort();
    return path_.c_str();
  }

  void Remove() { std::remove(path_.c_str()); }

 private:
  std::string path_;
};
