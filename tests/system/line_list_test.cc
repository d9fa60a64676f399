#include "system/line_list.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/platform.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

using Lines = std::vector<std::string>;

TEST(LineListTest, SplitsAtEveryKindOfLineEnd) {
  struct Case {
    std::string text;
    Lines expected;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\nb\rc\r\nd\n", {"a", "b", "c", "d"}},
      {"a\r\n\r\n", {"a", ""}},
      {"\r\n", {""}},
      {"a\n\rb", {"a", "", "b"}},
  };
  for (const Case& c : cases) EXPECT_EQ(LineList::Split(c.text), c.expected) << c.text;
}

TEST(LineListTest, EntriesAreNamedByTheTextBeforeTheFirstEqualsSign) {
  LineList list(Lines{"# RemoteServicePort = 3050", "RemoteServicePort = 3050", "a=b=c",
                      "CONTA=C:\\x.fdb", "=vacio", "sin igual"});
  EXPECT_EQ(LineList::EntryName("a=b=c"), "a");
  EXPECT_EQ(LineList::EntryName("sin igual"), std::nullopt);
  // Blanks count, so a spaced-out line is an entry of another name.
  EXPECT_EQ(list.Find("RemoteServicePort"), std::nullopt);
  EXPECT_EQ(list.Find("RemoteServicePort "), 1u);
  EXPECT_EQ(list.Find("conta"), 3u);
  EXPECT_EQ(list.Find("A"), 2u);
  EXPECT_EQ(list.Find(""), 4u);
  EXPECT_EQ(list.Find("sin igual"), std::nullopt);
}

TEST(LineListTest, ReplaceDeletesTheFirstLineOfThatNameAndAppends) {
  struct Case {
    Lines before;
    std::string name, line;
    Lines after;
  } cases[] = {
      {{"[Norvexa UnInstall]", "a=1", "b=2", "A=3"}, "a", "a=9",
       {"[Norvexa UnInstall]", "b=2", "A=3", "a=9"}},
      {{"CONTA=1"}, "conta", "CONTA=2", {"CONTA=2"}},
      {{"# comment"}, "CONTA", "CONTA=2", {"# comment", "CONTA=2"}},
      {{}, "RemoteServicePort", "RemoteServicePort=733", {"RemoteServicePort=733"}},
      {{"Árbol=1", "x=2"}, "ÁRBOL", "árbol=3", {"x=2", "árbol=3"}},
  };
  for (const Case& c : cases) {
    LineList list(c.before);
    list.Replace(c.name, c.line);
    EXPECT_EQ(list.lines(), c.after) << c.name;
  }
}

class LineListFileTest : public ::testing::Test {
 protected:
  FileSystem& files() { return *CurrentPlatform().files; }
  void SetUp() override { files().CreateDirectories("C:\\fb"); }

  ScratchMachine machine_;
};

TEST_F(LineListFileTest, ReadsByTheBomOrInTheSystemCodePage) {
  struct Case {
    const char* what;
    std::string bytes;
    Lines expected;
  } cases[] = {
      {"ANSI", "Contrase\xF1" "a=\x80\r\nb=2", {"Contraseña=€", "b=2"}},
      {"UTF-8 BOM", "\xEF\xBB\xBF" "a=ñ\nb", {"a=ñ", "b"}},
      {"UTF-16 LE BOM", std::string("\xFF\xFE" "a\0=\0\xF1\0\r\0\n\0b\0", 14), {"a=ñ", "b"}},
      {"UTF-16 BE BOM", std::string("\xFE\xFF\0a\0=\0\xF1\0\n", 10), {"a=ñ"}},
      {"empty", "", {}},
  };
  for (const Case& c : cases) {
    files().WriteFile("C:\\fb\\aliases.conf", c.bytes);
    EXPECT_EQ(LineList::Load("C:\\fb\\aliases.conf", LineList::IfMissing::kThrow).lines(),
              c.expected)
        << c.what;
  }
}

TEST_F(LineListFileTest, MissingFileIsEmptyOrAnErrorAsAsked) {
  EXPECT_TRUE(LineList::Load("C:\\fb\\nosuch.conf", LineList::IfMissing::kEmpty).lines().empty());
  EXPECT_TRUE(LineList::Load("C:\\nosuch\\x.conf", LineList::IfMissing::kEmpty).lines().empty());
  try {
    LineList::Load("C:\\fb\\nosuch.conf", LineList::IfMissing::kThrow);
    FAIL() << "no error";
  } catch (const OsError& e) {
    EXPECT_EQ(e.code(), kErrorFileNotFound);
  }
}

// A save cut off between moving the old file aside and putting the new one in its place (a
// power cut, a killed installer): the next load finds the previous list again.
TEST_F(LineListFileTest, ASaveCutBetweenItsRenamesIsUndoneByTheNextLoad) {
  files().WriteFile("C:\\fb\\UnInstall.dat.nxold", "[Norvexa UnInstall]\r\nFirebird3=x\r\n");
  files().WriteFile("C:\\fb\\UnInstall.dat.nxnew", "[Norvexa UnInstall]\r\nFirebird3=x\r\nGestion=y\r\n");
  EXPECT_EQ(LineList::Load("C:\\fb\\UnInstall.dat", LineList::IfMissing::kThrow).lines(),
            (Lines{"[Norvexa UnInstall]", "Firebird3=x"}));
  EXPECT_FALSE(files().FileExists("C:\\fb\\UnInstall.dat.nxold"));
  // A leftover beside a file that is there is no older list: the file is read.
  files().WriteFile("C:\\fb\\UnInstall.dat.nxold", "[Norvexa UnInstall]\r\n");
  EXPECT_EQ(LineList::Load("C:\\fb\\UnInstall.dat", LineList::IfMissing::kThrow).lines().size(), 2u);
}

TEST_F(LineListFileTest, SavesInTheCodePageWithCrLfAndReadsBackTheSame) {
  files().WriteFile("C:\\fb\\databases.conf", std::string("\xFF\xFE" "#\0 \0\xE9\0\n\0", 10));
  LineList list = LineList::Load("C:\\fb\\databases.conf", LineList::IfMissing::kThrow);
  list.Replace("CONTA", "CONTA=C:\\Norvexa\\Database\\CONTA3.FDB");
  list.Save("C:\\fb\\databases.conf");
  EXPECT_EQ(files().ReadFile("C:\\fb\\databases.conf"),
            "# \xE9\r\nCONTA=C:\\Norvexa\\Database\\CONTA3.FDB\r\n");
  EXPECT_EQ(LineList::Load("C:\\fb\\databases.conf", LineList::IfMissing::kThrow).lines(),
            list.lines());
  // Nothing is left beside the file.
  EXPECT_TRUE(files().FindFiles("C:\\fb\\*.nx*").empty());

  // A hidden file is replaced and stays hidden.
  files().SetAttributes("C:\\fb\\databases.conf", kAttrHidden);
  LineList(Lines{"a=1"}).Save("C:\\fb\\databases.conf");
  EXPECT_EQ(files().ReadFile("C:\\fb\\databases.conf"), "a=1\r\n");
  EXPECT_TRUE(files().GetAttributes("C:\\fb\\databases.conf") & kAttrHidden);

  LineList fresh(Lines{"RemoteServicePort=733", "RemoteAuxPort=734"});
  fresh.Save("C:\\fb\\firebird.conf");
  EXPECT_EQ(files().ReadFile("C:\\fb\\firebird.conf"),
            "RemoteServicePort=733\r\nRemoteAuxPort=734\r\n");
}

TEST_F(LineListFileTest, ASaveThatCannotBeDoneLeavesTheOldFile) {
  files().WriteFile("C:\\fb\\aliases.conf", "old=1\r\n");
  // A character the code page cannot hold is refused, not written as '?'.
  try {
    LineList(Lines{"CONTA=C:\\\xE2\x9C\x93"}).Save("C:\\fb\\aliases.conf");
    FAIL() << "no error";
  } catch (const OsError& e) {
    EXPECT_EQ(e.code(), kErrorNoUnicodeTranslation);
  }
  EXPECT_EQ(files().ReadFile("C:\\fb\\aliases.conf"), "old=1\r\n");

  files().SetAttributes("C:\\fb\\aliases.conf", kAttrReadOnly);
  EXPECT_THROW(LineList(Lines{"new=1"}).Save("C:\\fb\\aliases.conf"), OsError);
  EXPECT_EQ(files().ReadFile("C:\\fb\\aliases.conf"), "old=1\r\n");

  EXPECT_THROW(LineList(Lines{"new=1"}).Save("C:\\nosuch\\aliases.conf"), OsError);
  EXPECT_FALSE(files().DirectoryExists("C:\\nosuch"));
}

// Passes everything to the real files, failing the step named by failAt.
class FaultyFiles : public FileSystem {
 public:
  enum class Step { kNone, kWrite, kMoveIntoPlace };
  FaultyFiles(FileSystem& real, std::string target, Step failAt)
      : real_(real), target_(std::move(target)), failAt_(failAt) {}

  bool FileExists(const std::string& p) override { return real_.FileExists(p); }
  bool DirectoryExists(const std::string& p) override { return real_.DirectoryExists(p); }
  uint32_t GetAttributes(const std::string& p) override { return real_.GetAttributes(p); }
  void SetAttributes(const std::string& p, uint32_t a) override { real_.SetAttributes(p, a); }
  void CreateDirectories(const std::string& p) override { real_.CreateDirectories(p); }
  void RemoveDirectory(const std::string& p) override { real_.RemoveDirectory(p); }
  void CopyFile(const std::string& f, const std::string& t, bool x) override {
    real_.CopyFile(f, t, x);
  }
  void DeleteFile(const std::string& p) override { real_.DeleteFile(p); }
  void MoveFile(const std::string& from, const std::string& to) override {
    // Once: putting the old file back must still work.
    if (failAt_ == Step::kMoveIntoPlace && to == target_ && !failed_) {
      failed_ = true;
      throw OsError(kErrorSharingViolation, to);
    }
    real_.MoveFile(from, to);
  }
  std::vector<FoundFile> FindFiles(const std::string& p) override { return real_.FindFiles(p); }
  std::string ReadFile(const std::string& p) override { return real_.ReadFile(p); }
  void WriteFile(const std::string& p, const std::string& bytes) override {
    if (failAt_ == Step::kWrite) {
      real_.WriteFile(p, bytes.substr(0, bytes.size() / 2));  // the disk fills up half way
      throw OsError(kErrorDiskFull, p);
    }
    real_.WriteFile(p, bytes);
  }
  void AppendFile(const std::string& p, const std::string& bytes) override {
    real_.AppendFile(p, bytes);
  }
  std::string NativePath(const std::string& p) override { return real_.NativePath(p); }

 private:
  FileSystem& real_;
  std::string target_;
  Step failAt_;
  bool failed_ = false;
};

TEST_F(LineListFileTest, AFailedWriteOrRenameNeverLeavesAHalfFile) {
  const std::string target = "C:\\fb\\UnInstall.dat";
  const std::string old = "[Norvexa UnInstall]\r\nFirebird3=Firebird3 Norvexa Puerto: 733\r\n";
  for (auto step : {FaultyFiles::Step::kWrite, FaultyFiles::Step::kMoveIntoPlace}) {
    files().WriteFile(target, old);
    const size_t before = files().FindFiles("C:\\fb\\*").size();
    {
      FaultyFiles faulty(files(), target, step);
      ScopedPlatform scoped(Platform{.files = &faulty});
      LineList list = LineList::Load(target, LineList::IfMissing::kThrow);
      list.Replace("Firebird3", "Firebird3=Firebird3 Norvexa Puerto: 737");
      EXPECT_THROW(list.Save(target), OsError);
    }
    EXPECT_EQ(files().ReadFile(target), old);
    EXPECT_EQ(files().FindFiles("C:\\fb\\*").size(), before) << "leftovers beside the file";
  }
}

}  // namespace
}  // namespace nx
