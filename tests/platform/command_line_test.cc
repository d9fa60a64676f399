#include <gtest/gtest.h>

#include "platform/command_line.h"

namespace nx {
namespace {

using Words = std::vector<std::string>;

TEST(CommandLineTest, SplitsAsCommandLineToArgvW) {
  struct Case {
    const char* line;
    Words words;
  } cases[] = {
      {"prog \"a b c\" d e", {"prog", "a b c", "d", "e"}},
      {"prog a\\\\\\b d\"e f\"g h", {"prog", "a\\\\\\b", "de fg", "h"}},
      {"prog a\\\\\\\"b c d", {"prog", "a\\\"b", "c", "d"}},
      {"prog a\\\\\\\\\"b c\" d e", {"prog", "a\\\\b c", "d", "e"}},
      {"prog a\"b\"\" c d", {"prog", "ab\"", "c", "d"}},
      {"prog \"\"\"\"", {"prog", "\""}},
      {"prog \"\" x", {"prog", "", "x"}},
      {"prog\ta\t\tb  ", {"prog", "a", "b"}},
      {"\"C:\\Program Files\\x.exe\"arg", {"C:\\Program Files\\x.exe", "arg"}},
      {"C:\\dir\\x.exe\\ \"a\"", {"C:\\dir\\x.exe\\", "a"}},  // no escapes in the program word
      {"\"C:\\a b\\x.exe", {"C:\\a b\\x.exe"}},
      {"cmd /c xcopy  \"D:\\dll\\*.*\" \"C:\\Norvexa\\*.*\" /C/Y/I",
       {"cmd", "/c", "xcopy", "D:\\dll\\*.*", "C:\\Norvexa\\*.*", "/C/Y/I"}},
      {" x", {"", "x"}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.words) << c.line;
}

TEST(CommandLineTest, QuotedArgumentsSplitBackUnchanged) {
  const Words words = {"C:\\Program Files\\x.exe", "plain", "two words", "", "tail\\", "with \"quote\"",
                       "back\\\\slashes\\\" \\", "tab\there", "\\\\server\\share\\"};
  EXPECT_EQ(SplitCommandLine(JoinCommandLine(words)), words) << JoinCommandLine(words);
  EXPECT_EQ(QuoteArgument("plain"), "plain");
  EXPECT_EQ(QuoteArgument("a b\\"), "\"a b\\\\\"");
}

}  // namespace
}  // namespace nx
