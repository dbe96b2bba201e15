// Temporary folders and small file helpers for tests.
#pragma once

#include <string>

// A fresh folder under the system's temporary directory, removed with all
// its content when the object goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + relative
  std::string File(const std::string& relative) const;

 private:
  std::string path_;
};

// Whole content of a file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Writes bytes to a file (creating parent folders); returns false on failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Creates a folder and its parents.
bool MakeDirs(const std::string& path);
