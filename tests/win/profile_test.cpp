#include "win/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

void PutFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ProfileFile : public testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(folder_.Path().empty()); }
  std::string Path(const std::string& name = "test.ini") const { return folder_.Path() + "/" + name; }

  // Reads one value with a buffer of `size` bytes followed by guard bytes.
  std::string Read(const char* section, const char* key, const char* fallback, DWORD size, DWORD* count) {
    std::vector<char> buffer(size + 8, '#');
    *count = GetPrivateProfileStringA(section, key, fallback, buffer.data(), size, path_.c_str());
    for (std::size_t i = size; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '#') << "written past the buffer";
    return std::string(buffer.data(), size);
  }

  TempFolder folder_;
  std::string path_ = Path();
};

struct StringCase {
  const char* name;
  std::string file;
  const char* section;
  const char* key;
  const char* fallback;
  DWORD size;
  std::string expected;
};

const StringCase kStringCases[] = {
    {"plain", "[SETUP]\r\nBase=LFPG\r\n", "SETUP", "Base", "dflt", 64, "LFPG"},
    {"names without case", "[setup]\nbase=LFPG\n", "SeTuP", "BASE", "dflt", 64, "LFPG"},
    {"missing key gives the default", "[SETUP]\nBase=LFPG\n", "SETUP", "Other", "dflt", 64, "dflt"},
    {"empty value is not missing", "[NETWORK.0]\nWebsite=\n", "NETWORK.0", "Website", " ", 64, ""},
    {"blank default is kept", "[NETWORK.0]\n", "NETWORK.0", "Website", " ", 64, " "},
    {"default loses trailing blanks", "", "A", "k", "ab  ", 64, "ab"},
    {"null default is empty", "", "A", "k", nullptr, 64, ""},
    {"missing section", "[B]\nk=1\n", "A", "k", "dflt", 64, "dflt"},
    {"value and key trimmed", "[A]\n  k \t=  v w \t\r\n", "A", "k", "", 64, "v w"},
    {"double quotes removed", "[A]\nk=\" x \"\n", "A", "k", "", 64, " x "},
    {"single quotes removed", "[A]\nk='x'\n", "A", "k", "", 64, "x"},
    {"unmatched quote kept", "[A]\nk=\"x\n", "A", "k", "", 64, "\"x"},
    {"lone quote kept", "[A]\nk=\"\n", "A", "k", "", 64, "\""},
    {"inner quotes kept", "[A]\nk=a \"b\" c\n", "A", "k", "", 64, "a \"b\" c"},
    {"equals inside the value", "[W]\nurl=ftp://h/p?a=b\n", "W", "url", "", 64, "ftp://h/p?a=b"},
    {"cut to size - 1", "[A]\nk=ABCDEFGH\n", "A", "k", "", 5, "ABCD"},
    {"default cut too", "", "A", "k", "ABCDEFGH", 3, "AB"},
    {"size one gives empty", "[A]\nk=ABC\n", "A", "k", "", 1, ""},
    {"first of two sections counts", "[A]\nk=1\n[a]\nk=2\nj=3\n", "A", "j", "dflt", 64, "dflt"},
    {"first of two keys counts", "[A]\nk=1\nK=2\n", "A", "k", "", 64, "1"},
    {"comment is no key", "[A]\n;k=5\n", "A", "k", "dflt", 64, "dflt"},
    {"key before any section is unseen", "k=1\n[A]\n", "A", "k", "dflt", 64, "dflt"},
    {"key of the next section is unseen", "[A]\n[B]\nk=1\n", "A", "k", "dflt", 64, "dflt"},
    {"last line without line end", "[A]\nk=v", "A", "k", "", 64, "v"},
    {"byte order mark", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "", 64, "v"},
    {"blanks inside brackets", "[ A ] ; note\nk=v\n", "A", "k", "", 64, "v"},
    {"NUL ends the value", "[A]\nk=ab\0cd\n"s, "A", "k", "", 64, "ab"},
    {"line without equals is no key", "[A]\nk\n", "A", "k", "dflt", 64, "dflt"},
};

}  // namespace

TEST_F(ProfileFile, ReadsStringsAsWindowsDoes) {
  for (const StringCase& c : kStringCases) {
    SCOPED_TRACE(c.name);
    PutFile(path_, c.file);
    DWORD count = 0;
    const std::string got = Read(c.section, c.key, c.fallback, c.size, &count);
    EXPECT_EQ(count, c.expected.size());
    EXPECT_EQ(got.substr(0, count), c.expected);
    EXPECT_EQ(got[count], '\0');
  }
}

TEST_F(ProfileFile, MissingFileGivesTheDefault) {
  DWORD count = 0;
  EXPECT_EQ(Read("A", "k", "dflt", 16, &count).substr(0, 5), "dflt\0"s);
  EXPECT_EQ(count, 4u);
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(GetPrivateProfileStringA("A", "k", "dflt", buffer, sizeof buffer, nullptr), 4u);
  EXPECT_STREQ(buffer, "dflt");
}

TEST_F(ProfileFile, NoBufferOrZeroSizeCopiesNothing) {
  PutFile(path_, "[A]\nk=v\n");
  char buffer[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(GetPrivateProfileStringA("A", "k", "", buffer, 0, path_.c_str()), 0u);
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(GetPrivateProfileStringA("A", "k", "", nullptr, 4, path_.c_str()), 0u);
}

struct ListCase {
  const char* name;
  std::string file;
  const char* section;  // null lists the sections
  DWORD size;
  std::string expected;  // the whole list with its closing NULs
  DWORD count;
};

const ListCase kListCases[] = {
    {"sections, each once", "[A]\nx=1\n[B]\n[a]\n", nullptr, 32, "A\0B\0\0"s, 4},
    {"keys of the first section", "[A]\nx=1\n;c=2\ny=2\nnovalue\nX=3\n[B]\nz=1\n", "a", 32, "x\0y\0\0"s, 4},
    {"empty key list", "[A]\n", "A", 32, "\0"s, 0},
    {"missing section lists nothing", "[A]\nx=1\n", "Q", 32, "\0"s, 0},
    {"no sections", "", nullptr, 32, "\0"s, 0},
    {"last name cut", "[Alpha]\n[Beta]\n", nullptr, 10, "Alpha\0Be\0\0"s, 8},
    {"no room for the next name", "[Alpha]\n[Beta]\n", nullptr, 8, "Alpha\0\0\0"s, 6},
    {"first name cut", "[Alpha]\n", nullptr, 4, "Al\0\0"s, 2},
    {"size one", "[Alpha]\n", nullptr, 1, "\0"s, 0},
};

TEST_F(ProfileFile, ListsSectionsAndKeys) {
  for (const ListCase& c : kListCases) {
    SCOPED_TRACE(c.name);
    PutFile(path_, c.file);
    DWORD count = 0;
    const std::string got = Read(c.section, nullptr, "dflt", c.size, &count);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(got.substr(0, c.expected.size()), c.expected);
  }
}

struct IntCase {
  const char* name;
  std::string file;
  INT fallback;
  UINT expected;
};

const IntCase kIntCases[] = {
    {"decimal", "[A]\nk=65536\n", 7, 65536},
    {"letters give 0", "[A]\nk=abc\n", 7, 0},
    {"stops at the first non-digit", "[A]\nk=12x\n", 7, 12},
    {"missing key", "[A]\n", 55009, 55009},
    {"missing section", "", -3, static_cast<UINT>(-3)},
    {"empty value gives the default", "[A]\nk=\n", 7, 7},
    {"negative", "[A]\nk=-8\n", 7, static_cast<UINT>(-8)},
    {"plus sign", "[A]\nk=+5\n", 7, 5},
    {"blanks inside quotes", "[A]\nk=\"  42\"\n", 7, 42},
    {"sign without digits", "[A]\nk=- 5\n", 7, 0},
    {"no hexadecimal", "[A]\nk=0x10\n", 7, 0},
    {"wraps modulo 2^32", "[A]\nk=4294967297\n", 7, 1},
    {"names without case", "[a]\nK=3\n", 7, 3},
};

TEST_F(ProfileFile, ReadsIntegersAsWindowsDoes) {
  for (const IntCase& c : kIntCases) {
    SCOPED_TRACE(c.name);
    PutFile(path_, c.file);
    EXPECT_EQ(GetPrivateProfileIntA("A", "k", c.fallback, path_.c_str()), c.expected);
  }
}

TEST_F(ProfileFile, JunkAndLongLinesAreReadSafely) {
  std::string junk;
  std::uint32_t seed = 12345;
  for (int i = 0; i < 300000; ++i) {
    seed = seed * 1103515245u + 12345u;
    junk += static_cast<char>((seed >> 16) & 0xFF);
  }
  junk += "[\0]=\n["s + std::string(200000, 'S') + "\n" + std::string(100000, 'k') + "=" + std::string(100000, 'v');
  PutFile(path_, junk + "\n[A]\nk=found\n");
  DWORD count = 0;
  EXPECT_EQ(Read("A", "k", "", 16, &count).substr(0, 6), "found\0"s);
  const std::string longKey(100000, 'k');
  const std::string cut = Read(std::string(200000, 'S').c_str(), longKey.c_str(), "", 32, &count);
  EXPECT_EQ(count, 31u);
  EXPECT_EQ(cut.substr(0, 31), std::string(31, 'v'));
  for (const DWORD size : {2u, 3u, 17u, 4096u}) {
    Read(nullptr, nullptr, "", size, &count);
    EXPECT_LE(count, size - 1);
    Read("A", nullptr, "", size, &count);
    EXPECT_LE(count, size - 1);
  }
  EXPECT_EQ(GetPrivateProfileIntA("A", "k", 9, path_.c_str()), 0u);
}

TEST_F(ProfileFile, WriteCreatesFileAndSection) {
  ASSERT_TRUE(WritePrivateProfileStringA("SETUP", "Base", "LFPG", path_.c_str()));
  EXPECT_EQ(FileBytes(path_), "[SETUP]\r\nBase=LFPG\r\n");
  ASSERT_TRUE(WritePrivateProfileStringA("NETWORK", "FsPortNumber", "23456", path_.c_str()));
  EXPECT_EQ(FileBytes(path_), "[SETUP]\r\nBase=LFPG\r\n[NETWORK]\r\nFsPortNumber=23456\r\n");
  EXPECT_EQ(GetPrivateProfileIntA("network", "fsportnumber", 0, path_.c_str()), 23456u);
}

struct EditCase {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  const char* value;
  std::string after;
};

const std::string kKeptFile =
    "; written by hand\n\n[SETUP]\nBase=LFPG\nUnknown = x \n\n; next part\r\n[OTHER]\r\nk=1\r\nweird line\r\n";

const EditCase kEditCases[] = {
    {"replace in place, key spelled as in the file", kKeptFile, "setup", "BASE", "EGLL",
     "; written by hand\n\n[SETUP]\nBase=EGLL\r\nUnknown = x \n\n; next part\r\n[OTHER]\r\nk=1\r\nweird line\r\n"},
    {"new key after the section's last key", kKeptFile, "SETUP", "Language", "1",
     "; written by hand\n\n[SETUP]\nBase=LFPG\nUnknown = x \nLanguage=1\r\n\n; next part\r\n[OTHER]\r\nk=1\r\n"
     "weird line\r\n"},
    {"new key in a section without keys", "[A]\n[B]\nx=1\n", "A", "k", "v", "[A]\nk=v\r\n[B]\nx=1\n"},
    {"new section after a last line without end", "[A]\nk=1", "B", "x", "2", "[A]\nk=1\r\n[B]\r\nx=2\r\n"},
    {"new key after a last line without end", "[A]\nk=1", "A", "j", "2", "[A]\nk=1\r\nj=2\r\n"},
    {"empty value written", "[A]\nk=1\n", "A", "k", "", "[A]\nk=\r\n"},
    {"null value deletes every copy of the key", "[A]\nk=1\nj=2\nK=3\n[B]\nk=4\n", "a", "k", nullptr,
     "[A]\nj=2\n[B]\nk=4\n"},
    {"null key deletes the section", kKeptFile, "setup", nullptr, nullptr,
     "; written by hand\n\n[OTHER]\r\nk=1\r\nweird line\r\n"},
    {"null key deletes every copy of the section", "[A]\nk=1\n[B]\nj=1\n[a]\nk=2\n", "A", nullptr, nullptr,
     "[B]\nj=1\n"},
    {"a value cannot add lines", "[A]\nk=1\n", "A", "k", "x\r\n[EVIL]\r\ny=1", "[A]\nk=x\r\n"},
    {"junk before the first section is kept", "\xEF\xBB\xBF\x01\xFF junk\n[A]\n", "A", "k", "v",
     "\xEF\xBB\xBF\x01\xFF junk\n[A]\nk=v\r\n"},
};

TEST_F(ProfileFile, WritesKeepEveryOtherLine) {
  for (const EditCase& c : kEditCases) {
    SCOPED_TRACE(c.name);
    PutFile(path_, c.before);
    EXPECT_TRUE(WritePrivateProfileStringA(c.section, c.key, c.value, path_.c_str()));
    EXPECT_EQ(FileBytes(path_), c.after);
  }
}

TEST_F(ProfileFile, DeletingWhatIsMissingChangesNothing) {
  EXPECT_TRUE(WritePrivateProfileStringA("A", "k", nullptr, path_.c_str()));
  EXPECT_TRUE(WritePrivateProfileStringA("A", nullptr, nullptr, path_.c_str()));
  EXPECT_FALSE(fs::exists(path_));
  PutFile(path_, "[A]\nj=1\n");
  EXPECT_TRUE(WritePrivateProfileStringA("A", "k", nullptr, path_.c_str()));
  EXPECT_TRUE(WritePrivateProfileStringA("B", nullptr, nullptr, path_.c_str()));
  EXPECT_EQ(FileBytes(path_), "[A]\nj=1\n");
}

TEST_F(ProfileFile, NamesThatWouldNotReadBackAreRefused) {
  PutFile(path_, "[A]\nk=1\n");
  struct {
    const char* section;
    const char* key;
  } const refused[] = {{"A", "a=b"}, {"A", ""}, {"A", ";k"},    {"A", "[k"},   {"A", "k\n"},
                       {"a]b", "k"}, {"", "k"}, {"A\r\n", "k"}, {nullptr, "k"},
                       {"  ", "k"},  {"A", " \t"}, {"A", " ;k"}};
  for (const auto& r : refused) {
    SCOPED_TRACE(r.key);
    EXPECT_FALSE(WritePrivateProfileStringA(r.section, r.key, "v", path_.c_str()));
  }
  EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", nullptr));
  EXPECT_EQ(FileBytes(path_), "[A]\nk=1\n");
  EXPECT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str()));
}

// The file's names read back without their blanks, so a name asked for with a
// blank at an end must find what it wrote: one section, one key, the last value.
TEST_F(ProfileFile, NamesWithBlanksAtTheirEndsAreWrittenOnceAndReadBack) {
  ASSERT_TRUE(WritePrivateProfileStringA("OFS_X ", "Lat", "1", path_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("OFS_X ", "Lat", "2", path_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA(" OFS_X", " Lon ", "3", path_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringA("OFS_X", "Lon", "4", path_.c_str()));
  EXPECT_EQ(FileBytes(path_), "[OFS_X ]\r\nLat=2\r\nLon=4\r\n");
  char value[16] = {};
  EXPECT_EQ(GetPrivateProfileStringA("OFS_X ", "Lat", "", value, sizeof value, path_.c_str()), 1u);
  EXPECT_STREQ(value, "2");
  EXPECT_EQ(GetPrivateProfileStringA("OFS_X", "Lon ", "", value, sizeof value, path_.c_str()), 1u);
  EXPECT_STREQ(value, "4");
  EXPECT_TRUE(WritePrivateProfileStringA("OFS_X  ", nullptr, nullptr, path_.c_str()));
  EXPECT_EQ(FileBytes(path_), "");
}

TEST_F(ProfileFile, WriteFailsWithoutItsFolder) {
  EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", Path("missing/test.ini").c_str()));
  fs::create_directory(Path("folder.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA("A", "k", "v", Path("folder.ini").c_str()));
}

TEST_F(ProfileFile, WriteLeavesNoTemporaryFileAndKeepsMode) {
  PutFile(path_, "[A]\nk=1\n");
  ASSERT_EQ(chmod(path_.c_str(), 0600), 0);
  ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "2", path_.c_str()));
  struct stat info {};
  ASSERT_EQ(stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(folder_.Path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST_F(ProfileFile, WriteGoesThroughALink) {
  const std::string target = Path("real.ini");
  PutFile(target, "[A]\nk=1\n");
  fs::create_symlink(target, path_);
  ASSERT_TRUE(WritePrivateProfileStringA("A", "k", "2", path_.c_str()));
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ(FileBytes(target), "[A]\nk=2\r\n");
}

TEST_F(ProfileFile, ConcurrentWritersLoseNoKey) {
  constexpr int kKeys = 60;
  auto writer = [&](const char* prefix) {
    for (int i = 0; i < kKeys; ++i) {
      const std::string key = prefix + std::to_string(i);
      WritePrivateProfileStringA("SETUP", key.c_str(), std::to_string(i).c_str(), path_.c_str());
    }
  };
  std::thread first(writer, "First");
  std::thread second(writer, "Second");
  first.join();
  second.join();
  for (const char* prefix : {"First", "Second"}) {
    for (int i = 0; i < kKeys; ++i) {
      const std::string key = prefix + std::to_string(i);
      EXPECT_EQ(GetPrivateProfileIntA("SETUP", key.c_str(), -1, path_.c_str()), static_cast<UINT>(i)) << key;
    }
  }
}

TEST_F(ProfileFile, WrittenValuesReadBack) {
  const struct {
    const char* value;
    const char* read;
  } cases[] = {{"plain", "plain"}, {"  padded  ", "padded"}, {"\" kept \"", " kept "}, {"a=b;c", "a=b;c"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", c.value, path_.c_str()));
    char buffer[32];
    GetPrivateProfileStringA("S", "k", "", buffer, sizeof buffer, path_.c_str());
    EXPECT_STREQ(buffer, c.read);
  }
}
