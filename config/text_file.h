// Reading a file the way a text-mode line read with a length limit does:
// pieces of at most a given number of characters, each ending after the
// first LF, where a CR directly before an LF is dropped (CR LF counts as one
// LF). The readers of the login file and the INI files build on it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

class TextFile {
 public:
  // Opens the file for reading; IsOpen() tells whether that worked.
  explicit TextFile(const char* path);
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  bool IsOpen() const { return file_ != nullptr; }

  // Reads the next piece: characters up to and including the first LF, but
  // no more than limit of them. Returns false, with piece empty, when the
  // file has ended (or cannot be read) before any character. The piece holds
  // the bytes as read, NUL bytes included; a reader that treats it as a C
  // string sees it end at the first NUL.
  bool ReadPiece(size_t limit, std::string& piece);

 private:
  int NextChar();

  std::FILE* file_ = nullptr;
  int pending_ = EOF;  // a character read ahead after a CR
  bool hasPending_ = false;
};
