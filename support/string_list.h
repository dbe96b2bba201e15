// Growable list of owned byte strings and the in-place text helpers the
// whole tool uses. Texts are NUL-terminated single-byte (Latin-1) strings.
#pragma once

#include <cstdint>

// A list of owned strings. Readers use count and items[i] directly.
// Every stored string sits in a block of (length + 10) bytes: the text, its
// terminator and 9 spare bytes, so it can be extended in place by up to 9
// characters (the script engine appends "\r\n" this way).
struct StringList {
  int32_t count;     // slots 0 .. count-1 of items are in use
  int32_t capacity;  // 10 at creation, raised by 10 whenever the list is full
  char** items;
};

// Adds a private copy of text to *list, creating the list on first use.
// Returns 1 when added, 0 when memory ran out (the list is then unchanged,
// or still null if it was being created).
int ListAdd(StringList** list, const char* text);

// Releases the list, its items array and every stored string; sets *list to
// null. A null holder is left alone. Always returns 0.
int ListFree(StringList** list);

// Number of entries of a list that may not exist (a null list has none).
inline int32_t ListCount(const StringList* list) { return list ? list->count : 0; }

// Removes trailing blanks and tabs. A text made only of blanks and tabs is
// left unchanged. Returns text.
char* TrimRight(char* text);

// Removes leading and trailing blanks and tabs; a text made only of them
// becomes empty. Returns text.
char* Trim(char* text);

// Upper-cases the letters a-z in place; every other byte stays. Returns text.
char* StrUpper(char* text);

// Copies length characters of source from index start into dest and
// terminates dest. A length of 0 stands for the rest of the source; a
// length below 1 (after that rule) gives the empty text. The copy stops at
// the end of the source. start must lie within the source; dest must have
// room for the result and its terminator.
void SubString(const char* source, int start, int length, char* dest);

// Index of the n-th occurrence of the low byte of ch in text (n counted
// from 1). With fewer than n occurrences, the index of the last one; -1 when
// there is none, when the text is empty, or when n is below 1.
int FindNthChar(const char* text, int ch, int n);
