#include "base/file_utils.h"

#include <cstring>

#include "base/klib_locks.h"

int FileExists(const char* path) {
  if (path == nullptr || path[0] == '\0') return 0;
  std::FILE* stream = std::fopen(path, "rb");
  if (stream == nullptr) return 0;
  std::fclose(stream);
  return 1;
}

std::FILE* FileOpen(const char* path, const char* mode) {
  if (path == nullptr || mode == nullptr) return nullptr;
  std::FILE* stream = std::fopen(path, mode);
  if (stream != nullptr) std::fseek(stream, 0, SEEK_SET);
  return stream;
}

int FileClose(std::FILE*& stream) {
  if (stream == nullptr) return -1;
  std::fseek(stream, 0, SEEK_END);
  std::fclose(stream);
  stream = nullptr;
  return 0;
}

long FileSize(std::FILE* stream) {
  if (stream == nullptr) return 0;
  const long position = std::ftell(stream);
  if (std::fseek(stream, 0, SEEK_END) != 0) return 0;
  const long size = std::ftell(stream);
  std::fseek(stream, position < 0 ? 0 : position, SEEK_SET);
  return size < 0 ? 0 : size;
}

int FileRead(std::FILE* stream, void* destination, std::size_t n) {
  if (stream == nullptr || destination == nullptr || n == 0) return 0;
  return std::fread(destination, n, 1, stream) == 1 ? 1 : 0;
}

int FileWrite(std::FILE* stream, const void* source, std::size_t n) {
  if (stream == nullptr || source == nullptr || n == 0) return 0;
  return std::fwrite(source, n, 1, stream) == 1 ? 1 : 0;
}

int FileWriteByte(std::FILE* stream, const std::uint8_t* byte) {
  if (stream == nullptr || byte == nullptr) return 0;
  return std::fputc(*byte, stream) != EOF ? 1 : 0;
}

void AppendToFile(const char* path, const char* text) {
  if (path == nullptr || path[0] == '\0' || text == nullptr || text[0] == '\0') return;
  KlibLockGuard guard(KlibLockId::LogFile);
  std::FILE* stream = std::fopen(path, "a+b");
  if (stream == nullptr) return;
  std::fwrite(text, 1, std::strlen(text), stream);
  std::fclose(stream);
}
