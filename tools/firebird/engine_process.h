#pragma once
// Running the Firebird 3 programs of this host (the server and isql-fb) for a private instance
// rooted in a folder, without touching the system's own instance: every run gets FIREBIRD,
// FIREBIRD_LOCK and FIREBIRD_TMP of its root and writes the engine's log inside the root.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace nx {

// A failure of the engine's programs or of preparing their folders; the text says what and where.
class FirebirdError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

extern const char kFirebirdServerProgram[];  // /usr/sbin/firebird
extern const char kIsqlProgram[];            // /usr/bin/isql-fb

// The folders of a private root: lock/, tmp/ and log/ (the engine's own log lands in
// log/firebird3.0.log). Creates them when missing.
void PrepareRuntimeFolders(const std::string& root);

// The identity of a started server: its pid and the kernel's start time of that pid, so that a
// recycled pid is never taken for the server.
struct ServerProcess {
  pid_t pid = 0;
  uint64_t startTime = 0;  // field 22 of /proc/<pid>/stat, in clock ticks since boot
};

// The start time of a running pid, 0 when it does not exist.
uint64_t ProcessStartTime(pid_t pid);
// True when pid still runs, is the same process (start time) and is the Firebird server.
bool IsServerProcess(const ServerProcess& process);
// True when the process holds a TCP socket listening on port (IPv4 or IPv6).
bool IsListening(pid_t pid, uint16_t port);
// True when some socket of this host listens on the TCP port.
bool PortListens(uint16_t port);
// A TCP port on 127.0.0.1 that nothing listens on at this moment.
uint16_t FreeTcpPort();

// Starts /usr/sbin/firebird for root (whose firebird.conf the caller has written) in a session of
// its own, stdin from /dev/null, stdout and stderr appended to log/server.out, and waits until it
// listens on port. FirebirdError, with the end of its log, when it ends or does not listen in time
// (the process is then killed).
ServerProcess StartServer(const std::string& root, uint16_t port,
                          std::chrono::milliseconds timeout = std::chrono::seconds(15));

// SIGTERM, then waits up to timeout; SIGKILL after it. Nothing when the process is already gone or
// is no longer that server. Returns true when a server was stopped.
bool StopServer(const ServerProcess& process,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));

struct IsqlResult {
  int exitCode = -1;
  std::string output;  // stdout and stderr together
};

// Runs isql-fb with the engine embedded (no server, no login), with root as FIREBIRD, feeding
// script on its stdin (never in a file or on the command line: scripts may carry passwords) and
// stopping at the first failed statement.
IsqlResult RunEmbeddedIsql(const std::string& root, const std::string& script);

// The last lines of a text file, for error messages; empty when it cannot be read.
std::string FileTail(const std::string& path, size_t maxBytes = 2000);

}  // namespace nx
