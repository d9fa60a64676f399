// nxmedium: builds the sample installation medium.
//   nxmedium OUTPUT [--generation 3|2.5] [--version X.Y.Z | --newer] [--failing-change ID]
//            [--bin FOLDER]
// --newer builds the next version (more schema changes) for update runs; --failing-change makes
// that stored change one the engine refuses (for failed-update runs); --bin names the folder of
// the build's programs (default: this program's own folder).

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/medium/medium_builder.h"

namespace {

int Usage(const char* problem) {
  std::fprintf(stderr,
               "nxmedium: %s\n"
               "usage: nxmedium OUTPUT [--generation 3|2.5] [--version X.Y.Z | --newer]\n"
               "                [--failing-change ID] [--bin FOLDER]\n",
               problem);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  nx::medium::MediumOptions options;
  std::error_code ec;
  options.binFolder = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (arg == "--generation") {
      std::string g = value();
      if (g == "3") options.generation3 = true;
      else if (g == "2.5") options.generation3 = false;
      else return Usage("--generation takes 3 or 2.5");
    } else if (arg == "--version") {
      options.version = value();
      if (options.version.empty()) return Usage("--version needs a value");
    } else if (arg == "--newer") {
      options.version = nx::medium::kNewerVersion;
    } else if (arg == "--failing-change") {
      const std::string id = value();
      if (id.empty() || id.size() > 6 || id.find_first_not_of("0123456789") != std::string::npos ||
          std::stoi(id) == 0)
        return Usage("--failing-change takes the identifier of a change (a positive number)");
      options.failingChange = std::stoi(id);
    } else if (arg == "--bin") {
      options.binFolder = value();
      if (options.binFolder.empty()) return Usage("--bin needs a folder");
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage(("unknown option " + arg).c_str());
    } else if (options.output.empty()) {
      options.output = arg;
    } else {
      return Usage("more than one output folder");
    }
  }
  if (options.output.empty()) return Usage("no output folder");
  try {
    nx::medium::BuildMedium(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "nxmedium: %s\n", e.what());
    return 1;
  }
  std::printf("medium %s (generation %s, version %s) built\n", options.output.c_str(),
              options.generation3 ? "3" : "2.5", options.version.c_str());
  return 0;
}
