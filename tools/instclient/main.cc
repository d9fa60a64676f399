// instclient.exe of the hosted machine: installs the engine's client library of its own folder
// (fbclient.dll) into the system folder for the whole machine, as fbclient.dll or under the
// compatibility name gds32.dll, and counts it in the registry's shared-library list as Windows
// installers do. Commands as the engine's own tool takes them:
//   instclient i[nstall] [-f[orce]] f[bclient] | g[ds32]
//   instclient r[emove] f[bclient] | g[ds32]
//   instclient q[uery] f[bclient] | g[ds32]
// Without -f an existing library of different content is left alone (exit 1).

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/error.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace {

const char kSharedDlls[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kSource[] = "fbclient.dll";

bool Abbreviates(const std::string& word, const std::string& full) {
  std::string w = nx::FoldCase(word), f = nx::FoldCase(full);
  return !w.empty() && w.size() <= f.size() && f.compare(0, w.size(), w) == 0;
}

int Usage(const std::string& problem) {
  std::fprintf(stderr,
               "instclient: %s\n"
               "Usage:\n"
               "  instclient i[nstall] [ -f[orce] ] library\n"
               "             q[uery] library\n"
               "             r[emove] library\n"
               "  where library is: f[bclient] | g[ds32]\n",
               problem.c_str());
  return 1;
}

uint32_t SharedCount(nx::Registry& registry, const std::string& path) {
  try {
    auto key = registry.OpenKey(nx::RegRoot::kLocalMachine, kSharedDlls, nx::RegAccess::kRead, false);
    std::optional<nx::RegValue> value = key->QueryValue(path);
    if (value && value->type == nx::kRegDword && value->data.size() == 4)
      return static_cast<uint8_t>(value->data[0]) | static_cast<uint8_t>(value->data[1]) << 8 |
             static_cast<uint8_t>(value->data[2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(value->data[3])) << 24;
  } catch (const nx::OsError& e) {
    if (e.code() != nx::kErrorFileNotFound) throw;
  }
  return 0;
}

void SetSharedCount(nx::Registry& registry, const std::string& path, uint32_t count) {
  auto key = registry.OpenKey(nx::RegRoot::kLocalMachine, kSharedDlls, nx::RegAccess::kWrite, true);
  if (count == 0) {
    if (key->QueryValue(path)) key->DeleteValue(path);
  } else {
    key->SetValue(path, nx::RegValue::Dword(count));
  }
}

}  // namespace

int main() {
  try {
    std::vector<std::string> words = nx::SplitCommandLine(nx::ProgramCommandLine());
    if (words.size() < 3) return Usage("missing command or library");
    enum { kInstall, kRemove, kQuery } action;
    if (Abbreviates(words[1], "install")) action = kInstall;
    else if (Abbreviates(words[1], "remove")) action = kRemove;
    else if (Abbreviates(words[1], "query")) action = kQuery;
    else return Usage("unknown command \"" + words[1] + "\"");

    bool force = false;
    std::string library;
    for (size_t i = 2; i < words.size(); ++i) {
      const std::string& word = words[i];
      if (word.size() > 1 && (word[0] == '-' || word[0] == '/')) {
        if (!Abbreviates(word.substr(1), "force")) return Usage("unknown switch \"" + word + "\"");
        force = true;
      } else if (library.empty() && Abbreviates(word, "fbclient")) {
        library = "fbclient.dll";
      } else if (library.empty() && Abbreviates(word, "gds32")) {
        library = "gds32.dll";
      } else {
        return Usage("unexpected argument \"" + word + "\"");
      }
    }
    if (library.empty()) return Usage("no library named (fbclient or gds32)");

    nx::Platform& platform = nx::CurrentPlatform();
    std::optional<std::string> systemRoot = platform.environment->Get("SystemRoot");
    if (!systemRoot) throw nx::OsError(nx::kErrorEnvvarNotFound, "SystemRoot");
    std::string target = *systemRoot + "\\System32\\" + library;
    nx::FileSystem& files = *platform.files;
    nx::Registry& registry = *platform.registry;

    switch (action) {
      case kQuery:
        if (!files.FileExists(target)) {
          std::printf("%s is not installed in %s\\System32.\n", library.c_str(), systemRoot->c_str());
          return 0;
        }
        std::printf("Installed %s, shared count %u.\n", target.c_str(), SharedCount(registry, target));
        return 0;
      case kRemove: {
        if (!files.FileExists(target)) {
          std::printf("%s is not installed.\n", library.c_str());
          return 0;
        }
        uint32_t count = SharedCount(registry, target);
        if (count > 1) {
          SetSharedCount(registry, target, count - 1);
          std::printf("%s is still used by other programs (count %u).\n", target.c_str(), count - 1);
          return 0;
        }
        files.DeleteFile(target);
        SetSharedCount(registry, target, 0);
        std::printf("%s removed.\n", target.c_str());
        return 0;
      }
      case kInstall: {
        std::string source = nx::ProgramFolder() + kSource;
        if (!files.FileExists(source)) throw nx::OsError(nx::kErrorFileNotFound, source);
        if (files.FileExists(target) && !force && files.ReadFile(target) != files.ReadFile(source)) {
          std::fprintf(stderr, "instclient: another version of %s is installed; use -f to replace it.\n",
                       target.c_str());
          return 1;
        }
        files.CopyFile(source, target, false);
        SetSharedCount(registry, target, SharedCount(registry, target) + 1);
        std::printf("%s installed to %s.\n", library.c_str(), target.c_str());
        return 0;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "instclient: %s\n", e.what());
  }
  return 1;
}
