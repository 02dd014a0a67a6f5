// Named shared memory between processes of this machine (POSIX shm_open):
// the creator sizes and, when it closes, removes the name; an opener maps
// what is there. Names are the platform's ("/name"; a leading '/' is added).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace win {

class SharedMemory {
 public:
  SharedMemory() = default;
  ~SharedMemory();
  SharedMemory(SharedMemory&& other) noexcept;
  SharedMemory& operator=(SharedMemory&& other) noexcept;
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  // A new block of `size` zero bytes under `name`, replacing a stale one a
  // dead process left. False (and closed) on failure.
  bool Create(std::string_view name, std::size_t size);
  // Maps an existing block; false when there is none or it is smaller than `size`.
  bool Open(std::string_view name, std::size_t size);
  // Unmaps; the creator also removes the name.
  void Close();

  bool IsOpen() const { return data_ != nullptr; }
  std::span<std::uint8_t> Bytes() const { return {data_, size_}; }
  std::size_t Size() const { return size_; }
  const std::string& Name() const { return name_; }

 private:
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::string name_;
  bool creator_ = false;
};

}  // namespace win
