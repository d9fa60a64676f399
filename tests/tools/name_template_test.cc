// Wildcard target names, as copy and xcopy apply them to each source name.

#include <gtest/gtest.h>

#include "tools/cmd/name_template.h"

namespace nx::tools {
namespace {

TEST(NameTemplate, AppliesTheCopyRules) {
  struct Case {
    const char* source;
    const char* pattern;
    const char* expected;
  } cases[] = {
      {"CONTA3X.fdb", "*.*", "CONTA3X.fdb"},
      {"README", "*.*", "README"},
      {"a.b.c", "*.*", "a.b.c"},
      {"CONTA3X.fdb", "copia-CONTA3X.*", "copia-CONTA3X.fdb"},
      {"report.txt", "*.bak", "report.bak"},
      {"report.txt", "x.*", "x.txt"},
      {"report.txt", "??.*", "re.txt"},
      {"ab", "????", "ab"},
      {"report.txt", "*", "report.txt"},
      {"report.txt", "new", "new"},
      {"name.txt", "*.", "name"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ApplyNameTemplate(c.source, c.pattern), c.expected) << c.source << " " << c.pattern;
  }
}

}  // namespace
}  // namespace nx::tools
