#include "core/table_memory.h"

#include <sys/stat.h>

#include <atomic>

namespace {
std::atomic<int> g_failCountdown{0};
}  // namespace

bool TableAllocationFails() {
  int countdown = g_failCountdown.load();
  while (countdown > 0 && !g_failCountdown.compare_exchange_weak(countdown, countdown - 1)) {
  }
  return countdown == 1;
}

void* AllocateTableBytes(std::size_t bytes) {
  if (TableAllocationFails()) return nullptr;
  return std::calloc(bytes == 0 ? 1 : bytes, 1);
}

void FailTableAllocationForTest(int nth) { g_failCountdown.store(nth > 0 ? nth : 0); }

FilePtr OpenDataFile(const std::string& path, unsigned long long* size) {
  if (path.empty()) return nullptr;
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return nullptr;
  struct stat info {};
  if (::fstat(::fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  if (size != nullptr) *size = static_cast<unsigned long long>(info.st_size);
  return file;
}
