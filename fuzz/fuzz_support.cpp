#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/main_thread.h"
#include "win/msgbox.h"

void FuzzFailure(const char* file, int line, const char* condition) {
  std::fprintf(stderr, "FUZZ CHECK FAILED %s:%d: %s\n", file, line, condition);
  std::abort();
}

void QuietLibrary() {
  SetMessageBoxEcho(false);
  SetTraceConsole(false);
  ClearShownMessageBoxes();
}

namespace {
struct Folder {
  Folder() {
    // In memory where there is such a folder: the INI writer syncs every file it writes.
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    std::string pattern = (base / "tk_fuzz_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    path = pattern;
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};
}  // namespace

const std::string& FuzzFolder() {
  static const Folder folder;
  return folder.path;
}

std::string WriteFuzzFile(std::string_view name, std::string_view text) {
  std::string path = FuzzFolder() + "/" + std::string(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::abort();
  }
  return path;
}

std::string WriteFuzzFile(std::string_view name, std::span<const std::uint8_t> bytes) {
  return WriteFuzzFile(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string ReadFuzzFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
