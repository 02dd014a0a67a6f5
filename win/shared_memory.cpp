#include "win/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace win {

namespace {

std::string PlatformName(std::string_view name) {
  std::string full(name);
  if (full.empty() || full.front() != '/') full.insert(full.begin(), '/');
  return full;
}

std::uint8_t* MapWhole(int fd, std::size_t size) {
  void* address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return address == MAP_FAILED ? nullptr : static_cast<std::uint8_t*>(address);
}

}  // namespace

SharedMemory::~SharedMemory() { Close(); }

SharedMemory::SharedMemory(SharedMemory&& other) noexcept { *this = std::move(other); }

SharedMemory& SharedMemory::operator=(SharedMemory&& other) noexcept {
  if (this != &other) {
    Close();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    name_ = std::move(other.name_);
    creator_ = std::exchange(other.creator_, false);
  }
  return *this;
}

bool SharedMemory::Create(std::string_view name, std::size_t size) {
  Close();
  if (size == 0) return false;
  const std::string full = PlatformName(name);
  shm_unlink(full.c_str());  // a block left by a process that died
  const int fd = shm_open(full.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  std::uint8_t* data = ftruncate(fd, static_cast<off_t>(size)) == 0 ? MapWhole(fd, size) : nullptr;
  ::close(fd);
  if (data == nullptr) {
    shm_unlink(full.c_str());
    return false;
  }
  data_ = data;
  size_ = size;
  name_ = full;
  creator_ = true;
  return true;
}

bool SharedMemory::Open(std::string_view name, std::size_t size) {
  Close();
  if (size == 0) return false;
  const std::string full = PlatformName(name);
  const int fd = shm_open(full.c_str(), O_RDWR, 0);
  if (fd < 0) return false;
  struct stat info {};
  std::uint8_t* data = nullptr;
  if (fstat(fd, &info) == 0 && static_cast<std::size_t>(info.st_size) >= size) data = MapWhole(fd, size);
  ::close(fd);
  if (data == nullptr) return false;
  data_ = data;
  size_ = size;
  name_ = full;
  creator_ = false;
  return true;
}

void SharedMemory::Close() {
  if (data_ != nullptr) munmap(data_, size_);
  if (creator_ && !name_.empty()) shm_unlink(name_.c_str());
  data_ = nullptr;
  size_ = 0;
  name_.clear();
  creator_ = false;
}

}  // namespace win
