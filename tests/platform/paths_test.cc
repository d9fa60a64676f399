#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/hosted_machine.h"
#include "tests/support/scratch_machine.h"

namespace nx {
namespace {

class PathsTest : public ::testing::Test {
 protected:
  ScratchMachine m;
};

TEST_F(PathsTest, ExistingNamesResolveWhateverTheirCase) {
  m.WriteFile("C:\\Norvexa\\DataBase\\x.fdb", "data");
  const std::string expected = m.root() + "/C/Norvexa/DataBase/x.fdb";
  const char* spellings[] = {
      "C:\\Norvexa\\DataBase\\x.fdb",   "c:\\NORVEXA\\DATABASE\\X.FDB", "C:\\norvexa\\Database\\x.FDB",
      "C:\\Norvexa\\\\database\\x.fdb", "C:/Norvexa/DataBase/x.fdb",    "C:\\Norvexa\\.\\DataBase\\x.fdb",
      "C:\\Norvexa\\old\\..\\DataBase\\x.fdb", "C:\\..\\Norvexa\\DataBase\\x.fdb",
  };
  for (const char* s : spellings) EXPECT_EQ(m.HostPath(s), expected) << s;
}

TEST_F(PathsTest, MissingTailKeepsItsSpelling) {
  m.WriteFile("C:\\Norvexa\\DataBase\\x.fdb", "data");
  EXPECT_EQ(m.HostPath("C:\\NORVEXA\\Nueva\\Otra.TXT"), m.root() + "/C/Norvexa/Nueva/Otra.TXT");
}

TEST_F(PathsTest, PathsOutsideEveryDriveAreRefused) {
  const char* refused[] = {"Q:\\x", "\\\\server\\share\\x", "//server/share/x", ""};
  for (const char* s : refused) {
    try {
      m.HostPath(s);
      ADD_FAILURE() << "resolved: " << s;
    } catch (const OsError& e) {
      EXPECT_EQ(e.code(), kErrorPathNotFound) << s;
      EXPECT_NE(std::string(e.what()).find(s), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace nx
