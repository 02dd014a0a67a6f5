// Zeroed memory for the fixed tables, with a failure a test can inject, and
// the read-only opening of the data files.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

// Zeroed room for `bytes` bytes (at least 1), or null on failure.
void* AllocateTableBytes(std::size_t bytes);

template <class T>
T* AllocateTableRecords(std::size_t count) {
  return static_cast<T*>(AllocateTableBytes(count * sizeof(T)));
}

struct TableFree {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using TablePtr = std::unique_ptr<T[], TableFree>;

// Counts one table allocation; true when a test asked this one to fail.
bool TableAllocationFails();

// Tests: the nth following table allocation fails (1 = the next one); 0 = none.
void FailTableAllocationForTest(int nth);

struct FileClose {
  void operator()(std::FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileClose>;

// Opens a regular file read-only in binary mode; null for anything else
// (missing, a folder, a device). `size` (when given) receives its size in bytes.
FilePtr OpenDataFile(const std::string& path, unsigned long long* size = nullptr);
