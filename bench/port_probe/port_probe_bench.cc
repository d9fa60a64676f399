// The free-port search of the start-up checks (PuertoEnUso on successive ports until one is free)
// against 1,000 listening sockets, per probe, compared with one plain read and parse of the
// kernel's IPv4 TCP table in the same run.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "system/port_probe.h"
#include "tests/support/scratch_machine.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kListeners = 1000;

double MicrosSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

int Listen(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 1) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// kListeners sockets on consecutive ports; returns the first port, or -1.
int ListenOnARun(std::vector<int>& fds) {
  for (int base = 20000; base + kListeners < 60000; base += 997) {
    for (int fd : fds) close(fd);
    fds.clear();
    for (int port = base; port < base + kListeners; ++port) {
      const int fd = Listen(port);
      if (fd < 0) break;
      fds.push_back(fd);
    }
    if (static_cast<int>(fds.size()) == kListeners) return base;
  }
  return -1;
}

// The baseline: read /proc/net/tcp whole and collect the listening ports.
std::vector<int> ListeningPortsFromProc() {
  std::ifstream in("/proc/net/tcp");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int> ports;
  size_t pos = text.find('\n');
  while (pos != std::string::npos && pos + 1 < text.size()) {
    const size_t end = text.find('\n', pos + 1);
    const std::string line = text.substr(pos + 1, end - pos - 1);
    unsigned localAddr, localPort, remoteAddr, remotePort, state;
    if (std::sscanf(line.c_str(), " %*u: %8X:%4X %8X:%4X %2X", &localAddr, &localPort, &remoteAddr,
                    &remotePort, &state) == 5 &&
        state == 0x0A) {
      ports.push_back(static_cast<int>(localPort));
    }
    pos = end;
  }
  return ports;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  if (limit.rlim_cur < kListeners + 64) {
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, kListeners + 256);
    setrlimit(RLIMIT_NOFILE, &limit);
  }

  nx::ScratchMachine machine;
  std::vector<int> fds;
  const int base = ListenOnARun(fds);
  if (base < 0) {
    std::fprintf(stderr, "could not open %d listening sockets on consecutive ports\n", kListeners);
    return 1;
  }

  // Baseline: one read and parse of the table, repeated for a stable figure.
  std::vector<double> baseline;
  size_t seen = 0;
  for (int i = 0; i < 200; ++i) {
    const auto start = Clock::now();
    seen = ListeningPortsFromProc().size();
    baseline.push_back(MicrosSince(start));
  }

  // The search as the start-up checks run it, from the first listening port.
  std::vector<double> perCall;
  int found = 0;
  int calls = 0;
  for (int round = 0; round < 3; ++round) {
    const auto start = Clock::now();
    int port = base;
    calls = 0;
    while (port < 65535) {
      ++calls;
      if (!nx::PuertoEnUso(port)) break;
      ++port;
    }
    perCall.push_back(MicrosSince(start) / calls);
    found = port;
  }

  for (int fd : fds) close(fd);

  const double base_us = Median(baseline);
  const double call_us = Median(perCall);
  std::printf("listening sockets: %d on ports %d-%d (%zu listening rows in /proc/net/tcp)\n",
              kListeners, base, base + kListeners - 1, seen);
  std::printf("free port found: %d after %d probes%s\n", found, calls,
              found == base + kListeners ? "" : " (UNEXPECTED)");
  std::printf("baseline, one read+parse of /proc/net/tcp: %.1f us (median of %zu)\n", base_us,
              baseline.size());
  std::printf("PuertoEnUso per call:                      %.1f us (median of %zu searches)\n",
              call_us, perCall.size());
  std::printf("ratio per call / baseline:                 %.2fx (goal <= 2x)\n", call_us / base_us);
  return 0;
}
