#include "system/file_list.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

using Names = std::vector<std::string>;

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

class FileListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FileSystem& files = *CurrentPlatform().files;
    files.CreateDirectories("C:\\Norvexa\\DataBase\\carpeta.fdb");
    struct {
      const char* name;
      uint32_t attributes;
    } entries[] = {
        {"CONTA3.FDB", kAttrArchive},        {"conta3x.fdb", kAttrNormal},
        {"oculta.fdb", kAttrHidden},         {"sistema.fdb", kAttrSystem},
        {"ambas.fdb", kAttrHidden | kAttrSystem}, {"solo.fdb", kAttrReadOnly},
        {"notas.txt", kAttrNormal},          {"conta3.fdb.bak", kAttrNormal},
    };
    for (const auto& e : entries) {
      const std::string path = std::string("C:\\Norvexa\\DataBase\\") + e.name;
      files.WriteFile(path, "x");
      files.SetAttributes(path, e.attributes);
    }
  }

  ScratchMachine machine_;
};

TEST_F(FileListTest, ListsMatchingFilesButNeverFoldersOrSystemFiles) {
  struct Case {
    std::string folder;
    bool fullPath, includeHidden;
    Names expected;
  } cases[] = {
      {"C:\\Norvexa\\DataBase\\", false, false, {"CONTA3.FDB", "conta3x.fdb", "solo.fdb"}},
      {"C:\\Norvexa\\DataBase", false, false, {"CONTA3.FDB", "conta3x.fdb", "solo.fdb"}},
      {"C:\\Norvexa\\DataBase", false, true,
       {"CONTA3.FDB", "conta3x.fdb", "oculta.fdb", "solo.fdb"}},
      {"C:\\Norvexa\\DataBase", true, false,
       {"C:\\Norvexa\\DataBase\\CONTA3.FDB", "C:\\Norvexa\\DataBase\\conta3x.fdb",
        "C:\\Norvexa\\DataBase\\solo.fdb"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sorted(ListaFicheros(c.folder, "*.fdb", c.fullPath, c.includeHidden)), c.expected)
        << c.folder << " full=" << c.fullPath << " hidden=" << c.includeHidden;
  }
}

TEST_F(FileListTest, KeepsTheSearchOrder) {
  Names searched;
  for (const FoundFile& f : CurrentPlatform().files->FindFiles("C:\\Norvexa\\DataBase\\*.*")) {
    if (f.name != "." && f.name != ".." && !(f.attributes & (kAttrDirectory | kAttrSystem))) {
      searched.push_back(f.name);
    }
  }
  EXPECT_EQ(ListaFicheros("C:\\Norvexa\\DataBase\\", "*.*", false, true), searched);
  EXPECT_EQ(searched.size(), 6u);
}

TEST_F(FileListTest, MissingFolderOrNoMatchGivesAnEmptyList) {
  EXPECT_TRUE(ListaFicheros("C:\\Norvexa\\NoSuch\\", "*.fdb", false, false).empty());
  EXPECT_TRUE(ListaFicheros("C:\\NoSuch\\Deeper", "*.fdb", true, true).empty());
  EXPECT_TRUE(ListaFicheros("C:\\Norvexa\\DataBase\\", "*.gdb", false, true).empty());
  EXPECT_TRUE(ListaFicheros("C:\\Norvexa\\DataBase\\carpeta.fdb", "*", false, true).empty());
}

}  // namespace
}  // namespace nx
