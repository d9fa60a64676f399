// netsh firewall: port openings recorded where Windows keeps them, and refused syntax.

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/registry.h"
#include "tests/tools/tool_run.h"

namespace nx {
namespace {

using test::Launch;

const char kList[] =
    "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
    "StandardProfile\\GloballyOpenPorts\\List";

std::optional<std::string> Opening(const std::string& valueName, const char* list = kList) {
  try {
    auto key = CurrentPlatform().registry->OpenKey(RegRoot::kLocalMachine, list, RegAccess::kRead, false);
    std::optional<RegValue> v = key->QueryValue(valueName);
    if (!v) return std::nullopt;
    return v->data;
  } catch (const OsError&) {
    return std::nullopt;
  }
}

class NetshTest : public ::testing::Test {
 protected:
  ScratchMachine m_;
};

TEST_F(NetshTest, OpensPortsAsTheInstallerAsks) {
  test::ToolRun run = Launch(R"(netsh.exe firewall set portopening TCP 3051 "Norvexa Firebird DataBase" enable subnet)");
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_NE(run.output.find("Aceptar."), std::string::npos);
  EXPECT_EQ(Opening("3051:TCP"), "3051:TCP:LocalSubNet:Enabled:Norvexa Firebird DataBase");

  // Again for the same port: replaced, not doubled.
  ASSERT_EQ(Launch(R"(netsh firewall set portopening TCP 3051 "Norvexa Firebird Eventos" enable subnet)").exitCode, 0u);
  EXPECT_EQ(Opening("3051:TCP"), "3051:TCP:LocalSubNet:Enabled:Norvexa Firebird Eventos");

  test::ToolRun show = Launch("netsh firewall show portopening");
  EXPECT_EQ(show.exitCode, 0u);
  EXPECT_NE(show.output.find("3051   TCP       Habilitar      Norvexa Firebird Eventos"), std::string::npos)
      << show.output;
}

TEST_F(NetshTest, KeywordFormsAndChoices) {
  struct Case {
    const char* line;
    const char* valueName;
    const char* data;
  } cases[] = {
      {R"(netsh firewall set portopening protocol=TCP port=4000 name="Uno" mode=ENABLE scope=SUBNET)", "4000:TCP",
       "4000:TCP:LocalSubNet:Enabled:Uno"},
      {R"(netsh firewall add portopening udp 4001 Dos)", "4001:UDP", "4001:UDP:*:Enabled:Dos"},
      {R"(netsh firewall set portopening TCP 4002 "Tres" DISABLE ALL)", "4002:TCP", "4002:TCP:*:Disabled:Tres"},
      {R"(netsh firewall set portopening TCP 4003 Cuatro enable custom 10.0.0.1,192.168.1.0/255.255.255.0)",
       "4003:TCP", "4003:TCP:10.0.0.1,192.168.1.0/255.255.255.0:Enabled:Cuatro"},
      {R"(netsh firewall set portopening ALL 4004 Cinco)", "4004:UDP", "4004:UDP:*:Enabled:Cinco"},
  };
  for (const Case& c : cases) {
    test::ToolRun run = Launch(c.line);
    EXPECT_EQ(run.exitCode, 0u) << c.line << "\n" << run.output;
    EXPECT_EQ(Opening(c.valueName), c.data) << c.line;
  }
  EXPECT_EQ(Opening("4004:TCP"), "4004:TCP:*:Enabled:Cinco");

  EXPECT_EQ(Launch("netsh firewall delete portopening TCP 4000").exitCode, 0u);
  EXPECT_FALSE(Opening("4000:TCP"));
  EXPECT_EQ(Launch("netsh firewall delete portopening TCP 4000").exitCode, 1u);
}

TEST_F(NetshTest, BadSyntaxIsRefusedAndChangesNothing) {
  const char* lines[] = {
      "netsh firewall set portopening TCP 0 Nombre enable subnet",
      "netsh firewall set portopening TCP 70000 Nombre",
      "netsh firewall set portopening TCP 3051",
      "netsh firewall set portopening ICMP 3051 Nombre",
      "netsh firewall set portopening TCP 3051 Nombre sometimes",
      "netsh firewall set portopening TCP 3051 Nombre enable everywhere",
      "netsh firewall set portopening TCP 3051 Norvexa Firebird enable subnet",  // name not quoted
      "netsh firewall set portopening TCP 3051 Nombre enable custom",
      "netsh firewall set portopening port=3051 TCP Nombre",
      "netsh firewall set opmode enable",
      "netsh advfirewall show allprofiles",
      "netsh",
  };
  for (const char* line : lines) {
    test::ToolRun run = Launch(line);
    EXPECT_EQ(run.exitCode, 1u) << line << "\n" << run.output;
    EXPECT_FALSE(run.output.empty()) << line;
  }
  EXPECT_NE(Launch(lines[0]).output.find("Uso: set portopening"), std::string::npos);
  EXPECT_FALSE(Opening("3051:TCP"));
}

}  // namespace
}  // namespace nx
