#include "config/text_file.h"

TextFile::TextFile(const char* path) { file_ = std::fopen(path, "rb"); }

TextFile::~TextFile() {
  if (file_ != nullptr) std::fclose(file_);
}

int TextFile::NextChar() {
  int c;
  if (hasPending_) {
    hasPending_ = false;
    c = pending_;
  } else {
    c = std::getc(file_);
  }
  if (c != '\r') return c;
  int next = std::getc(file_);
  if (next == '\n') return '\n';
  // A CR not followed by an LF is an ordinary character; keep what came
  // after it (possibly the end of the file) for the next read.
  pending_ = next;
  hasPending_ = true;
  return '\r';
}

bool TextFile::ReadPiece(size_t limit, std::string& piece) {
  piece.clear();
  if (file_ == nullptr) return false;
  while (piece.size() < limit) {
    int c = NextChar();
    if (c == EOF) break;
    piece.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !piece.empty();
}
