#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/hosted_machine.h"
#include "platform/platform.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

using Names = std::vector<std::string>;

class FilesTest : public ::testing::Test {
 protected:
  FileSystem& fs() { return *CurrentPlatform().files; }

  Names List(const std::string& pattern) {
    std::vector<std::string> names;
    for (const FoundFile& f : fs().FindFiles(pattern)) names.push_back(f.name);
    std::sort(names.begin(), names.end());
    return names;
  }

  template <typename F>
  void ExpectCode(uint32_t code, F&& f, const std::string& what) {
    try {
      f();
      ADD_FAILURE() << what << ": no error, expected " << code;
    } catch (const OsError& e) {
      EXPECT_EQ(e.code(), code) << what << ": " << e.what();
    }
  }

  ScratchMachine m;
};

TEST_F(FilesTest, FindFilesMatchesAsWindowsDoes) {
  for (const char* name : {"a.fdb", "B.FDB", "notes", "x1.txt", "x22.txt", "y.txt.bak", "readme.", "fdb"}) {
    m.WriteFile(std::string("C:\\D\\") + name, "x");
  }
  fs().CreateDirectories("C:\\D\\Sub.dir");
  struct Case {
    const char* pattern;
    Names names;
  } cases[] = {
      {"C:\\D\\*.*", {".", "..", "B.FDB", "Sub.dir", "a.fdb", "fdb", "notes", "readme", "x1.txt", "x22.txt", "y.txt.bak"}},
      {"C:\\D\\*", {".", "..", "B.FDB", "Sub.dir", "a.fdb", "fdb", "notes", "readme", "x1.txt", "x22.txt", "y.txt.bak"}},
      {"c:\\d\\*.FDB", {"B.FDB", "a.fdb"}},
      {"C:\\D\\x?.txt", {"x1.txt"}},
      {"C:\\D\\x??.txt", {"x1.txt", "x22.txt"}},  // '?' may match nothing before the dot
      {"C:\\D\\*.", {".", "..", "fdb", "notes", "readme"}},
      {"C:\\D\\*.txt", {"x1.txt", "x22.txt"}},
      {"C:\\D\\notes.*", {"notes"}},
      {"C:\\D\\NOTES", {"notes"}},
      {"C:\\D\\sub.DIR", {"Sub.dir"}},
      {"C:\\D\\*.zip", {}},
      {"C:\\D\\", {}},
      {"C:\\NoFolder\\*.*", {}},
      {"Q:\\*.*", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(List(c.pattern), c.names) << c.pattern;
  // A drive's root lists no "." and "..".
  const Names root = List("C:\\*.*");
  EXPECT_EQ(std::count(root.begin(), root.end(), "."), 0);
  EXPECT_NE(std::find(root.begin(), root.end(), "Windows"), root.end());
  ExpectCode(kErrorInvalidName, [&] { fs().FindFiles("C:\\D*\\*.*"); }, "wildcard in the folder");
}

TEST_F(FilesTest, FoundFilesCarrySizeAndAttributes) {
  m.WriteFile("C:\\D\\data.fdb", "12345");
  m.WriteFile("C:\\D\\oculto.txt", "x");
  fs().SetAttributes("C:\\D\\OCULTO.TXT", kAttrHidden | kAttrSystem);
  fs().CreateDirectories("C:\\D\\sub");
  for (const FoundFile& f : fs().FindFiles("C:\\D\\*.*")) {
    if (f.name == "data.fdb") {
      EXPECT_EQ(f.size, 5u);
      EXPECT_EQ(f.attributes, static_cast<uint32_t>(kAttrArchive));
    } else if (f.name == "oculto.txt") {
      EXPECT_EQ(f.attributes, static_cast<uint32_t>(kAttrHidden | kAttrSystem));
    } else if (f.name == "sub" || f.name == "." || f.name == "..") {
      EXPECT_EQ(f.attributes, static_cast<uint32_t>(kAttrDirectory)) << f.name;
    } else {
      ADD_FAILURE() << "listed " << f.name;  // the attribute record never shows
    }
  }
}

TEST_F(FilesTest, AttributesFollowTheFileAndEndWithIt) {
  m.WriteFile("C:\\D\\f.txt", "x");
  EXPECT_EQ(fs().GetAttributes("C:\\D\\f.txt"), static_cast<uint32_t>(kAttrArchive));
  EXPECT_EQ(fs().GetAttributes("C:\\D"), static_cast<uint32_t>(kAttrDirectory));
  EXPECT_EQ(fs().GetAttributes("C:\\D\\none"), kInvalidFileAttributes);
  EXPECT_EQ(fs().GetAttributes("C:\\D\\f.txt\\"), kInvalidFileAttributes);
  fs().SetAttributes("C:\\D\\f.txt", kAttrHidden | kAttrReadOnly | kAttrArchive);
  fs().CopyFile("C:\\D\\f.txt", "C:\\D\\copia.txt", true);
  EXPECT_EQ(fs().GetAttributes("C:\\D\\copia.txt"), static_cast<uint32_t>(kAttrHidden | kAttrReadOnly | kAttrArchive));
  fs().MoveFile("C:\\D\\copia.txt", "C:\\D\\movida.txt");
  EXPECT_EQ(fs().GetAttributes("C:\\D\\movida.txt"), static_cast<uint32_t>(kAttrHidden | kAttrReadOnly | kAttrArchive));
  fs().SetAttributes("C:\\D\\movida.txt", kAttrNormal);
  EXPECT_EQ(fs().GetAttributes("C:\\D\\movida.txt"), static_cast<uint32_t>(kAttrNormal));
  fs().DeleteFile("C:\\D\\movida.txt");
  m.WriteFile("C:\\D\\movida.txt", "new");  // a new file of the same name starts plain
  EXPECT_EQ(fs().GetAttributes("C:\\D\\movida.txt"), static_cast<uint32_t>(kAttrArchive));
  fs().SetAttributes("C:\\D", kAttrHidden);
  EXPECT_EQ(fs().GetAttributes("C:\\d"), static_cast<uint32_t>(kAttrHidden | kAttrDirectory));
}

TEST_F(FilesTest, ReadOnlyHiddenAndMissingFilesFailAsWindowsDoes) {
  m.WriteFile("C:\\D\\ro.txt", "ro");
  m.WriteFile("C:\\D\\hidden.txt", "h");
  m.WriteFile("C:\\D\\plain.txt", "p");
  fs().SetAttributes("C:\\D\\ro.txt", kAttrReadOnly);
  fs().SetAttributes("C:\\D\\hidden.txt", kAttrHidden);
  struct Case {
    const char* what;
    uint32_t code;
    std::function<void()> call;
  } cases[] = {
      {"delete read-only", kErrorAccessDenied, [&] { fs().DeleteFile("C:\\D\\ro.txt"); }},
      {"write read-only", kErrorAccessDenied, [&] { fs().WriteFile("C:\\D\\ro.txt", "x"); }},
      {"append read-only", kErrorAccessDenied, [&] { fs().AppendFile("C:\\D\\ro.txt", "x"); }},
      {"copy over read-only", kErrorAccessDenied, [&] { fs().CopyFile("C:\\D\\plain.txt", "C:\\D\\ro.txt", false); }},
      {"copy over hidden", kErrorAccessDenied, [&] { fs().CopyFile("C:\\D\\plain.txt", "C:\\D\\hidden.txt", false); }},
      {"create over hidden", kErrorAccessDenied, [&] { fs().WriteFile("C:\\D\\hidden.txt", "x"); }},
      {"copy onto existing", kErrorFileExists, [&] { fs().CopyFile("C:\\D\\plain.txt", "C:\\D\\ro.txt", true); }},
      {"copy onto itself", kErrorSharingViolation, [&] { fs().CopyFile("C:\\D\\plain.txt", "c:\\d\\PLAIN.txt", false); }},
      {"copy missing", kErrorFileNotFound, [&] { fs().CopyFile("C:\\D\\none.txt", "C:\\D\\x.txt", false); }},
      {"copy into missing folder", kErrorPathNotFound, [&] { fs().CopyFile("C:\\D\\plain.txt", "C:\\No\\x.txt", false); }},
      {"copy a folder", kErrorAccessDenied, [&] { fs().CopyFile("C:\\D", "C:\\E.txt", false); }},
      {"read missing", kErrorFileNotFound, [&] { fs().ReadFile("C:\\D\\none.txt"); }},
      {"read in missing folder", kErrorPathNotFound, [&] { fs().ReadFile("C:\\No\\none.txt"); }},
      {"read a folder", kErrorAccessDenied, [&] { fs().ReadFile("C:\\D"); }},
      {"write in missing folder", kErrorPathNotFound, [&] { fs().WriteFile("C:\\No\\x.txt", "x"); }},
      {"append in missing folder", kErrorPathNotFound, [&] { fs().AppendFile("C:\\No\\x.txt", "x"); }},
      {"delete missing", kErrorFileNotFound, [&] { fs().DeleteFile("C:\\D\\none.txt"); }},
      {"delete a folder", kErrorAccessDenied, [&] { fs().DeleteFile("C:\\D"); }},
      {"move onto existing", kErrorAlreadyExists, [&] { fs().MoveFile("C:\\D\\plain.txt", "C:\\D\\ro.txt"); }},
      {"move missing", kErrorFileNotFound, [&] { fs().MoveFile("C:\\D\\none.txt", "C:\\D\\x.txt"); }},
      {"remove non-empty folder", kErrorDirNotEmpty, [&] { fs().RemoveDirectory("C:\\D"); }},
      {"remove a file as folder", kErrorDirectory, [&] { fs().RemoveDirectory("C:\\D\\plain.txt"); }},
      {"folder through a file", kErrorAlreadyExists, [&] { fs().CreateDirectories("C:\\D\\plain.txt\\sub"); }},
      {"unmapped drive", kErrorPathNotFound, [&] { fs().WriteFile("Q:\\x.txt", "x"); }},
      {"invalid name", kErrorInvalidName, [&] { fs().WriteFile("C:\\D\\a|b.txt", "x"); }},
  };
  for (const Case& c : cases) ExpectCode(c.code, c.call, c.what);
  // Nothing was changed by the refusals.
  EXPECT_EQ(m.ReadFile("C:\\D\\ro.txt"), "ro");
  EXPECT_EQ(m.ReadFile("C:\\D\\hidden.txt"), "h");
  fs().AppendFile("C:\\D\\hidden.txt", "+");  // appending opens an existing hidden file
  EXPECT_EQ(m.ReadFile("C:\\D\\hidden.txt"), "h+");
}

TEST_F(FilesTest, CopyKeepsContentModeAndTime) {
  std::string big(3 * 1024 * 1024 + 17, '\0');
  for (size_t k = 0; k < big.size(); ++k) big[k] = static_cast<char>(k * 7);
  m.WriteFile("C:\\D\\big.bin", big);
  const std::string host = m.HostPath("C:\\D\\big.bin");
  ::chmod(host.c_str(), 0750);
  struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ::utimensat(AT_FDCWD, host.c_str(), old, 0);
  fs().CopyFile("C:\\D\\big.bin", "C:\\D\\copy.bin", false);
  EXPECT_EQ(m.ReadFile("C:\\D\\copy.bin"), big);
  struct stat st;
  ASSERT_EQ(::stat(m.HostPath("C:\\D\\copy.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0750u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
  fs().WriteFile("C:\\D\\copy.bin", "short");
  fs().CopyFile("C:\\D\\copy.bin", "C:\\D\\big.bin", false);  // overwrite
  EXPECT_EQ(m.ReadFile("C:\\D\\big.bin"), "short");
}

TEST_F(FilesTest, FoldersAreMadeOnceWhateverTheSpelling) {
  fs().CreateDirectories("C:\\Norvexa\\DataBase");
  fs().CreateDirectories("c:\\NORVEXA\\database\\Old\\\\2026");
  fs().CreateDirectories("C:\\Norvexa\\DataBase");  // existing: no error
  EXPECT_EQ(List("C:\\Norvexa\\*"), (Names{".", "..", "DataBase"}));
  EXPECT_TRUE(std::filesystem::is_directory(m.root() + "/C/Norvexa/DataBase/Old/2026"));
  fs().SetAttributes("C:\\Norvexa\\DataBase\\Old\\2026", kAttrHidden);
  fs().RemoveDirectory("C:\\Norvexa\\DataBase\\Old\\2026");
  fs().RemoveDirectory("C:\\Norvexa\\DataBase\\Old");  // its attribute record went with the folder
  EXPECT_FALSE(fs().DirectoryExists("C:\\Norvexa\\DataBase\\Old"));
  ExpectCode(kErrorFileNotFound, [&] { fs().RemoveDirectory("C:\\Norvexa\\DataBase\\Old"); }, "remove missing");
}

TEST_F(FilesTest, MoveRenamesAcrossFoldersAndChangesLetterCase) {
  m.WriteFile("C:\\D\\file.txt", "x");
  fs().MoveFile("C:\\D\\file.txt", "C:\\D\\FILE.TXT");
  EXPECT_EQ(List("C:\\D\\*.txt"), Names{"FILE.TXT"});
  fs().CreateDirectories("C:\\E");
  fs().MoveFile("C:\\D\\file.txt", "C:\\E\\moved.txt");
  EXPECT_EQ(m.ReadFile("C:\\E\\moved.txt"), "x");
  fs().MoveFile("C:\\E", "C:\\F");
  EXPECT_TRUE(fs().FileExists("C:\\F\\MOVED.TXT"));
}

TEST_F(FilesTest, ExistenceTestsNeverThrow) {
  m.WriteFile("C:\\D\\f.txt", "x");
  EXPECT_TRUE(fs().FileExists("c:\\d\\F.TXT"));
  EXPECT_FALSE(fs().FileExists("C:\\D\\f.txt\\"));
  EXPECT_FALSE(fs().FileExists("C:\\D"));
  EXPECT_TRUE(fs().DirectoryExists("C:\\D\\"));
  EXPECT_TRUE(fs().DirectoryExists("C:\\"));
  EXPECT_FALSE(fs().DirectoryExists("C:\\D\\f.txt"));
  for (const char* odd : {"Q:\\x", "\\\\srv\\x", "", "C:\\a*b", "C:\\a\"b"}) {
    EXPECT_FALSE(fs().FileExists(odd)) << odd;
    EXPECT_FALSE(fs().DirectoryExists(odd)) << odd;
  }
}

TEST_F(FilesTest, MappedDrivesReachTheirFoldersAndPersist) {
  TempDir medium;
  medium.Write("Setup/nxSetup.ini", "[APLICACION]\r\n");
  m.MapDrive('e', medium.path());
  EXPECT_TRUE(fs().FileExists("E:\\SETUP\\NXSETUP.INI"));
  EXPECT_EQ(fs().NativePath("E:\\Setup\\nxSetup.ini"), medium.path() + "/Setup/nxSetup.ini");
  EXPECT_EQ(m.machine().WindowsPath(medium.path() + "/Setup"), std::optional<std::string>("E:\\Setup"));
  EXPECT_EQ(m.machine().WindowsPath(m.root() + "/C"), std::optional<std::string>("C:\\"));
  EXPECT_EQ(m.machine().WindowsPath("/proc"), std::nullopt);
  HostedMachine again(m.root());  // another process's view
  EXPECT_EQ(again.HostPath("E:\\Setup"), medium.path() + "/Setup");
  EXPECT_THROW(m.machine().MapDrive('C', medium.path()), OsError);
  m.machine().MapDrive('E', "");
  EXPECT_FALSE(fs().FileExists("E:\\Setup\\nxSetup.ini"));
}

TEST_F(FilesTest, RelativePathsFollowTheCurrentFolder) {
  m.WriteFile("C:\\Work\\Sub\\f.txt", "x");
  char saved[4096];
  ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(::chdir(m.HostPath("C:\\Work").c_str()), 0);
  EXPECT_TRUE(fs().FileExists("sub\\f.txt"));
  EXPECT_TRUE(fs().FileExists(".\\Sub\\..\\Sub\\f.txt"));
  EXPECT_TRUE(fs().FileExists("\\Work\\Sub\\f.txt"));
  EXPECT_TRUE(fs().FileExists("C:sub\\f.txt"));
  ASSERT_EQ(::chdir(saved), 0);
  // Outside every drive a relative path has nowhere to go.
  ASSERT_EQ(::chdir("/"), 0);
  ExpectCode(kErrorPathNotFound, [&] { fs().ReadFile("sub\\f.txt"); }, "relative outside");
  ASSERT_EQ(::chdir(saved), 0);
}

}  // namespace
}  // namespace nx
