// Small helpers shared by the engine, the user-data store and the renderer:
// null-safe terminated-string and memory helpers, byte character tests, and the
// busy-section count. All are safe on any thread.
#pragma once

#include <cstdint>

// Terminated strings and memory. Each does nothing (or answers 0) when a pointer
// argument is null; counts below 1 do nothing.
std::int32_t safeStrlen(const char* s);
char* safeStrcpy(char* dst, const char* src);
// Both null: 0; only a null: -1; only b null: 1; else -1, 0 or 1 by unsigned bytes.
int safeStrcmp(const char* a, const char* b);
void safeMemCopy(void* dst, const void* src, std::int32_t n);  // must not overlap
void safeMemMove(void* dst, const void* src, std::int32_t n);  // may overlap
void safeMemSet(void* dst, int byte, std::int32_t n);          // low byte of `byte`
void reverseBytes(void* buf, std::int32_t n);

// Character tests on one byte. Bytes above 127 are read as Latin-1 characters and
// classified by the engine's own tables, never by the C library's locale, so the
// answers are the same on every machine.
char charToLower(char c);
bool isLowerChar(char c);
bool isAsciiDigitChar(char c);  // "0"-"9"
bool isSpaceChar(char c);       // tab, newline, vertical tab, form feed, return, blank, NEL, NBSP
bool isPunctChar(char c);       // printable, neither letter, digit nor space

// Brackets long operations. The count is process-wide; nothing acts on it.
void beginBusySection();
void endBusySection();
std::int32_t busySectionCount();
