// Thin wrappers over standard-library file streams; a null stream gives 0.
#pragma once

#include <cstdint>
#include <cstdio>

int FileExists(const char* path);
std::FILE* FileOpen(const char* path, const char* mode);
// Closes the stream and clears the caller's variable; -1 when there is none.
int FileClose(std::FILE*& stream);
long FileSize(std::FILE* stream);
int FileRead(std::FILE* stream, void* destination, std::size_t n);
int FileWrite(std::FILE* stream, const void* source, std::size_t n);
int FileWriteByte(std::FILE* stream, const std::uint8_t* byte);
// Under the log-file lock, appends the text (without its NUL) to the file.
void AppendToFile(const char* path, const char* text);
