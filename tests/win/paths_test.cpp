#include "win/paths.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace {

// Runs each test inside a fresh temporary folder and goes back afterwards.
class InTempFolder : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "tk_paths_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    created_ = pattern;
    std::filesystem::current_path(created_);
    folder_ = std::filesystem::canonical(created_).string();
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(created_, ignored);
  }

  std::filesystem::path previous_;
  std::filesystem::path created_;
  std::string folder_;  // as getcwd reports it
};

std::string Parent(const std::string& folder) {
  const auto slash = folder.rfind('/');
  return slash == 0 ? "/" : folder.substr(0, slash);
}

std::string LastPart(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

TEST_F(InTempFolder, CurrentFolderHasNoTrailingSeparator) {
  EXPECT_EQ(CurrentFolder(), folder_);
  EXPECT_NE(CurrentFolder().back(), '/');
  std::filesystem::current_path("/");
  EXPECT_EQ(CurrentFolder(), "/");
}

TEST_F(InTempFolder, DotIsTheCurrentFolder) {
  std::string buffer(MAX_PATH, 'Z');
  char* filePart = nullptr;
  const DWORD n = GetFullPathNameA(".", MAX_PATH, buffer.data(), &filePart);
  ASSERT_EQ(n, folder_.size());
  EXPECT_EQ(std::string(buffer.c_str()), folder_);
  ASSERT_NE(filePart, nullptr);
  EXPECT_EQ(std::string(filePart), LastPart(folder_));
}

TEST_F(InTempFolder, NamesResolveAgainstTheCurrentFolder) {
  struct Case {
    const char* name;
    std::string full;
    std::string filePart;  // empty: null, the result ends with a separator
  };
  // Nothing here exists: resolution is on the text alone.
  const Case cases[] = {
      {"a", folder_ + "/a", "a"},
      {"./a", folder_ + "/a", "a"},
      {"a/b/../c.ini", folder_ + "/a/c.ini", "c.ini"},
      {"a//b", folder_ + "/a/b", "b"},
      {"a/.", folder_ + "/a", "a"},
      {"a/", folder_ + "/a/", ""},
      {"./", folder_ + "/", ""},
      {"..", Parent(folder_), LastPart(Parent(folder_))},
      {"/abs/x", "/abs/x", "x"},
      {"/abs/../x", "/x", "x"},
      {"//x//y/", "/x/y/", ""},
      {"/..", "/", ""},
      {"/", "/", ""},
      {"Heavy Metal\\B738.acf", folder_ + "/Heavy Metal\\B738.acf", "Heavy Metal\\B738.acf"},
  };
  for (const Case& c : cases) {
    std::string buffer(1024, 'Z');
    char* filePart = buffer.data();
    const DWORD n = GetFullPathNameA(c.name, static_cast<DWORD>(buffer.size()), buffer.data(), &filePart);
    EXPECT_EQ(n, c.full.size()) << c.name;
    EXPECT_EQ(std::string(buffer.c_str()), c.full) << c.name;
    if (c.filePart.empty()) {
      EXPECT_EQ(filePart, nullptr) << c.name;
    } else {
      ASSERT_NE(filePart, nullptr) << c.name;
      EXPECT_EQ(std::string(filePart), c.filePart) << c.name;
    }
  }
}

TEST_F(InTempFolder, ResolvedNameReachesTheFile) {
  std::FILE* f = std::fopen("settings.ini", "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  std::string buffer(1024, '\0');
  ASSERT_GT(GetFullPathNameA("settings.ini", 1024, buffer.data(), nullptr), 0u);
  EXPECT_TRUE(std::filesystem::exists(buffer.c_str()));
}

TEST_F(InTempFolder, SmallBufferGetsTheNeededSizeAndIsLeftAlone) {
  const std::string full = folder_ + "/data.txt";
  const auto needed = static_cast<DWORD>(full.size() + 1);
  std::string buffer(full.size() + 8, 'Z');
  const std::string untouched = buffer;
  char* filePart = nullptr;

  EXPECT_EQ(GetFullPathNameA("data.txt", needed - 1, buffer.data(), &filePart), needed);
  EXPECT_EQ(buffer, untouched);
  EXPECT_EQ(GetFullPathNameA("data.txt", 0, nullptr, nullptr), needed);
  EXPECT_EQ(GetFullPathNameA("data.txt", 1, buffer.data(), nullptr), needed);

  // Exactly the needed size: the name fits with its terminator.
  EXPECT_EQ(GetFullPathNameA("data.txt", needed, buffer.data(), &filePart), needed - 1);
  EXPECT_EQ(std::string(buffer.c_str()), full);
  EXPECT_EQ(buffer[needed - 1], '\0');
  EXPECT_EQ(buffer[needed], 'Z');
}

TEST(GetFullPathName, EmptyOrNullNameFails) {
  char buffer[64] = {};
  EXPECT_EQ(GetFullPathNameA("", sizeof buffer, buffer, nullptr), 0u);
  EXPECT_EQ(GetFullPathNameA(nullptr, sizeof buffer, buffer, nullptr), 0u);
}

TEST(JoinPath, OneSeparatorAtTheJoin) {
  struct Case {
    const char* folder;
    const char* name;
    const char* joined;
  };
  for (const Case c : {Case{"a", "b", "a/b"}, Case{"a/", "b", "a/b"}, Case{"a", "/b", "a/b"},
                       Case{"a//", "//b", "a/b"}, Case{"", "b", "b"}, Case{"", "/b", "/b"}, Case{"a", "", "a"},
                       Case{"", "", ""}, Case{"/", "b", "/b"}, Case{"/x/y", "z.ini", "/x/y/z.ini"},
                       Case{"a", "b/c", "a/b/c"},
                       // Backslashes are part of names here, not separators.
                       Case{"/p", "Heavy Metal\\B738", "/p/Heavy Metal\\B738"}}) {
    EXPECT_EQ(JoinPath(c.folder, c.name), c.joined) << '"' << c.folder << "\" + \"" << c.name << '"';
  }
}
