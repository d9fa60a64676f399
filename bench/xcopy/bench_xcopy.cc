// bench-xcopy: the installer's tree copy (xcopy /S/E/C/I/H/Y through cmd, on a hosted machine
// whose drive D: is a host folder) against cp -r of the same tree, in the same run.
//
//   bench-xcopy [--files N] [--megabytes M] [--runs R] [--keep]
//
// Builds a tree of mixed file sizes in a temporary folder, warms both copies once, then times R
// runs of each (alternating, each into a fresh target) and prints both medians and their ratio.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/hosted_machine.h"
#include "platform/platform.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
  int files = 2000;
  int megabytes = 300;
  int runs = 5;
  bool keep = false;
};

uint64_t Next(uint64_t& s) {
  s ^= s << 13;
  s ^= s >> 7;
  s ^= s << 17;
  return s;
}

// Sizes: most files small, some medium, a few large, scaled to the wanted total.
std::vector<uint64_t> Sizes(const Options& o, uint64_t& seed) {
  std::vector<uint64_t> sizes;
  for (int i = 0; i < o.files; ++i) {
    uint64_t r = Next(seed) % 100;
    uint64_t size = r < 70 ? 1 + Next(seed) % (64 << 10)           // up to 64 KiB
                    : r < 95 ? (64 << 10) + Next(seed) % (1 << 20)  // up to ~1 MiB
                             : (4 << 20) + Next(seed) % (8 << 20);  // 4-12 MiB
    sizes.push_back(size);
  }
  uint64_t total = 0;
  for (uint64_t s : sizes) total += s;
  const double scale = static_cast<double>(static_cast<uint64_t>(o.megabytes) << 20) / static_cast<double>(total);
  for (uint64_t& s : sizes) s = std::max<uint64_t>(1, static_cast<uint64_t>(static_cast<double>(s) * scale));
  return sizes;
}

uint64_t BuildTree(const fs::path& root, const Options& o) {
  uint64_t seed = 0x9E3779B97F4A7C15ULL;
  std::vector<fs::path> folders = {root};
  for (int i = 0; i < 24; ++i) {
    fs::path parent = folders[Next(seed) % folders.size()];
    folders.push_back(parent / ("carpeta" + std::to_string(i)));
  }
  folders.push_back(root / "vacia");
  folders.push_back(root / "carpeta0" / "vacia2");
  for (const fs::path& f : folders) fs::create_directories(f);
  std::vector<char> buffer(1 << 20);
  uint64_t total = 0;
  std::vector<uint64_t> sizes = Sizes(o, seed);
  for (size_t i = 0; i < sizes.size(); ++i) {
    fs::path folder = folders[Next(seed) % (folders.size() - 2)];
    std::ofstream out(folder / ("archivo" + std::to_string(i) + ".dat"), std::ios::binary);
    uint64_t left = sizes[i];
    while (left > 0) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
      for (size_t k = 0; k + 8 <= n; k += 8) {
        uint64_t v = Next(seed);
        std::memcpy(&buffer[k], &v, 8);
      }
      out.write(buffer.data(), static_cast<std::streamsize>(n));
      left -= n;
    }
    total += sizes[i];
  }
  return total;
}

int Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs work with standard output and error sent to /dev/null; seconds taken. The writes of the
// run before are flushed first, so that no run pays for another's.
template <typename F>
double Timed(F work) {
  ::sync();
  std::fflush(stdout);
  int saved1 = dup(1), saved2 = dup(2);
  FILE* null = std::fopen("/dev/null", "w");
  dup2(fileno(null), 1);
  dup2(fileno(null), 2);
  auto start = Clock::now();
  int code = work();
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  dup2(saved1, 1);
  dup2(saved2, 2);
  close(saved1);
  close(saved2);
  std::fclose(null);
  if (code != 0) {
    std::fprintf(stderr, "bench-xcopy: a copy ended with exit code %d\n", code);
    std::exit(1);
  }
  return seconds;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() { return i + 1 < argc ? std::atoi(argv[++i]) : 0; };
    if (a == "--files") o.files = value();
    else if (a == "--megabytes") o.megabytes = value();
    else if (a == "--runs") o.runs = value();
    else if (a == "--keep") o.keep = true;
    else {
      std::fprintf(stderr, "usage: bench-xcopy [--files N] [--megabytes M] [--runs R] [--keep]\n");
      return 2;
    }
  }
  if (o.files < 1 || o.megabytes < 1 || o.runs < 1) {
    std::fprintf(stderr, "bench-xcopy: --files, --megabytes and --runs must be positive\n");
    return 2;
  }
  char tmpl[] = "/tmp/bench-xcopy-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path work = tmpl;
  const fs::path medium = work / "medium", targets = work / "targets";
  fs::create_directories(targets);
  uint64_t bytes = BuildTree(medium / "tree", o);
  std::printf("tree: %d files, %.1f MB, in %s\n", o.files, static_cast<double>(bytes) / (1 << 20), medium.c_str());

  nx::HostedMachine::Create((work / "machine").string(), NX_BIN_DIR);
  nx::HostedMachine machine((work / "machine").string());
  machine.MapDrive('D', medium.string());
  machine.MapDrive('E', targets.string());
  nx::ProcessRunner& runner = *machine.platform().processes;

  auto cp = [&](const std::string& name) {
    return Spawn({"cp", "-r", (medium / "tree").string(), (targets / name).string()});
  };
  auto xcopy = [&](const std::string& name) {
    nx::ProcessResult r =
        runner.RunAndWait("cmd /c xcopy  \"D:\\tree\" \"E:\\" + name + "\" /S/E/C/I/H/Y", nx::kSwHide);
    return r.started ? static_cast<int>(r.exitCode) : -1;
  };
  // Warm the page cache and the programs once.
  Timed([&] { return cp("warm-cp"); });
  Timed([&] { return xcopy("warm-xcopy"); });
  fs::remove_all(targets / "warm-cp");
  fs::remove_all(targets / "warm-xcopy");

  std::vector<double> cpTimes, xcopyTimes;
  for (int run = 0; run < o.runs; ++run) {
    bool xcopyFirst = run % 2 == 1;
    for (int k = 0; k < 2; ++k) {
      bool doXcopy = (k == 0) == xcopyFirst;
      std::string name = (doXcopy ? "xcopy" : "cp") + std::to_string(run);
      double t = doXcopy ? Timed([&] { return xcopy(name); }) : Timed([&] { return cp(name); });
      (doXcopy ? xcopyTimes : cpTimes).push_back(t);
      fs::remove_all(targets / name);
    }
  }
  double cpMedian = Median(cpTimes), xcopyMedian = Median(xcopyTimes);
  std::printf("cp -r:             median %.3f s over %d runs\n", cpMedian, o.runs);
  std::printf("xcopy /S/E/C/I/H/Y: median %.3f s over %d runs\n", xcopyMedian, o.runs);
  std::printf("ratio xcopy / cp -r: %.2f (goal <= 1.20)\n", xcopyMedian / cpMedian);
  if (!o.keep) fs::remove_all(work);
  return 0;
}
