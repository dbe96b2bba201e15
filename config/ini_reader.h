// Reader for one key of one [section] of a plain INI-style text file.
#pragma once

// Reads the value of key in [section] of the file at path into out, whose
// size (terminator included) is max. Lines are read in pieces of at most 119
// characters. Returns the length of the text in out. When the file cannot be
// opened, the section is missing or the key is not in it, out is left as the
// caller passed it. A found value holds at most max-2 characters. A section
// name over 37 characters or a key over 39 is never found. With max below 1
// there is no room even for a terminator: out is not touched and the result
// is 0.
int ReadIniValue(const char* section, const char* key, char* out, int max, const char* path);
