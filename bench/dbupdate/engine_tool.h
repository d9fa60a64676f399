#pragma once
// The engine's own command-line tools run by the database benchmarks as their baseline.

#include <chrono>
#include <string>
#include <vector>

namespace nx::bench {

inline double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Runs one of the engine's tools over TCP as NORVEXA, the login in its environment (never on its
// command line), its output discarded; its run time in ms. Ends the benchmark when it fails.
double RunEngineTool(std::vector<std::string> args);

// isql-fb running a script file against database ("host/port:alias").
double RunIsql(const std::string& database, const std::string& scriptPath);

}  // namespace nx::bench
