#pragma once
// The setup window on a scratch machine whose installation medium is a host folder mapped as D:,
// the program lying in its root; the operator scripted. Network and clock of the machine are
// wrapped: listeners may be added to the real TCP table (for ports the tests must not take), and
// pauses are recorded instead of waited.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/FInstall.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "system/port_probe.h"
#include "system/registry_access.h"
#include "tests/app/support/scripted_operator.h"
#include "tests/support/recording_clock.h"
#include "tests/support/scratch_machine.h"

namespace nx::windowtest {

// The machine's TCP table with listening rows added for some ports; counts the tables read.
class ExtraListeners final : public Network {
 public:
  explicit ExtraListeners(Network& real) : real_(real) {}
  std::set<uint16_t> ports;
  int tablesRead = 0;

  uint32_t GetTcpTable(void* buffer, uint32_t* size, bool sort) override {
    ++tablesRead;
    std::vector<uint32_t> table(1024);
    uint32_t bytes = static_cast<uint32_t>(table.size() * 4);
    uint32_t result = real_.GetTcpTable(table.data(), &bytes, sort);
    while (result == 122) {
      table.assign(bytes / 4 + 1, 0);
      bytes = static_cast<uint32_t>(table.size() * 4);
      result = real_.GetTcpTable(table.data(), &bytes, sort);
    }
    if (result != 0) return result;
    std::vector<MibTcpRow> rows(table[0]);
    if (!rows.empty()) std::memcpy(rows.data(), table.data() + 1, rows.size() * sizeof(MibTcpRow));
    for (uint16_t port : ports) rows.push_back({kMibTcpStateListen, 0, htons(port), 0, 0});
    const uint32_t needed = static_cast<uint32_t>(4 + rows.size() * sizeof(MibTcpRow));
    if (*size < needed) {
      *size = needed;
      return 122;
    }
    const uint32_t count = static_cast<uint32_t>(rows.size());
    std::memcpy(buffer, &count, 4);
    if (!rows.empty()) std::memcpy(static_cast<char*>(buffer) + 4, rows.data(), rows.size() * sizeof(MibTcpRow));
    return 0;
  }
  bool CanConnect(const std::string& host, uint16_t port, int timeoutMs) override {
    return real_.CanConnect(host, port, timeoutMs);
  }

 private:
  Network& real_;
};

// A real TCP listener on 127.0.0.1, on a port the system picks.
class Listener {
 public:
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(0, ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a));
    EXPECT_EQ(0, ::listen(fd_, 4));
    socklen_t length = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length);
    port_ = ntohs(a.sin_port);
  }
  ~Listener() { ::close(fd_); }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
  uint16_t port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

class WindowTest : public ::testing::Test {
 protected:
  WindowTest()
      : network_(*machine_.platform().network),
        clock_(*machine_.platform().clock),
        scope_(Platform{.network = &network_, .clock = &clock_}) {
    medium_ = machine_.root() + "/medio";
    machine_.MapDrive('D', medium_);
  }

  // The medium's settings for the sample application of the given generation, and the window
  // created from them.
  void Create(bool generation3 = false, const std::string& extra = "") {
    machine_.WriteFile("D:\\nxSetup.ini", ToSystemCodePage(std::string("[APLICACION]\nAPLICACION=Gestion\nEJECUTABLE=Gestion.exe\n") +
                                              "NOMBRE=Norvexa Gestión\nVERSION=1.2.3\nFIREBIRD=" +
                                              (generation3 ? "3" : "") + "\n" + extra));
    form_.SetProgramFolder("D:\\");
    form_.FormCreate();
  }

  // The registry records of an earlier installation.
  void RecordInstallation(const std::string& path, const std::string& port, const std::string& host = "",
                          bool generation3 = false) {
    if (!path.empty()) EscribeRegistro(RegRoot::kLocalMachine, "\\SOFTWARE\\Norvexa", "Path", path, rdString);
    const std::string key = std::string("\\SOFTWARE\\Norvexa\\Firebird") + (generation3 ? "3" : "");
    if (!port.empty()) EscribeRegistro(RegRoot::kLocalMachine, key, "Puerto", port, rdString);
    if (!host.empty()) EscribeRegistro(RegRoot::kLocalMachine, key, "Host", host, rdString);
  }

  // The first port from `from` that nothing listens on, as the machine's table has it now.
  int FirstFree(int from) {
    int port = from;
    while (port < 65535 && PuertoEnUso(port)) ++port;
    return port;
  }

  std::string LogText(const std::string& folder = "C:\\Norvexa\\") {
    return machine_.Exists(folder + "Install.log") ? FromSystemCodePage(machine_.ReadFile(folder + "Install.log")) : "";
  }

  ScratchMachine machine_;
  ExtraListeners network_;
  RecordingClock clock_;
  ScopedPlatform scope_;
  std::string medium_;
  ScriptedOperator operador_;
  TFInstalacion form_{operador_};
};

}  // namespace nx::windowtest
