// attrib: setting and listing attributes through the machine's file system.

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/platform.h"
#include "tests/tools/tool_run.h"

namespace nx {
namespace {

using test::Launch;

class AttribTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_.WriteFile("C:\\d\\a.txt", "a");
    m_.WriteFile("C:\\d\\b.txt", "b");
    m_.WriteFile("C:\\d\\sub\\c.txt", "c");
  }
  uint32_t Attributes(const std::string& path) {
    return CurrentPlatform().files->GetAttributes(path) & (kAttrReadOnly | kAttrHidden | kAttrSystem);
  }
  ScratchMachine m_;
};

TEST_F(AttribTest, SetsAndLists) {
  ASSERT_EQ(Launch(R"(attrib +H +S "C:\d\a.txt")").exitCode, 0u);
  EXPECT_EQ(Attributes("C:\\d\\a.txt"), kAttrHidden | kAttrSystem);
  ASSERT_EQ(Launch(R"(attrib +r C:\d\*.txt /S)").exitCode, 1u);  // a.txt is hidden: left alone
  EXPECT_EQ(Attributes("C:\\d\\a.txt"), kAttrHidden | kAttrSystem);
  EXPECT_EQ(Attributes("C:\\d\\b.txt"), kAttrReadOnly);
  EXPECT_EQ(Attributes("C:\\d\\sub\\c.txt"), kAttrReadOnly);

  test::ToolRun list = Launch(R"(attrib C:\d\*.*)");
  EXPECT_EQ(list.exitCode, 0u);
  EXPECT_NE(list.output.find("A  SH      C:\\d\\a.txt\r\n"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("A    R     C:\\d\\b.txt\r\n"), std::string::npos) << list.output;

  ASSERT_EQ(Launch(R"(attrib -H -S -R C:\d\a.txt)").exitCode, 0u);
  EXPECT_EQ(Attributes("C:\\d\\a.txt"), 0u);
}

TEST_F(AttribTest, Failures) {
  test::ToolRun missing = Launch(R"(attrib +H C:\d\none.txt)");
  EXPECT_EQ(missing.exitCode, 1u);
  EXPECT_NE(missing.output.find("No se encuentra el archivo - C:\\d\\none.txt"), std::string::npos);
  EXPECT_EQ(Launch(R"(attrib +Q C:\d\a.txt)").exitCode, 1u);
  EXPECT_EQ(Launch(R"(attrib +H -H C:\d\a.txt)").exitCode, 1u);
  EXPECT_EQ(Attributes("C:\\d\\a.txt"), 0u);
}

}  // namespace
}  // namespace nx
