// A program the process tests start: "exit N" ends with exit code N (decimal or 0x hex, all 32
// bits); "record FILE" writes how it was started (show mode, start-up flags, own console) to FILE.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "exit") == 0) {
    ::ExitProcess(static_cast<UINT>(std::strtoul(argv[2], nullptr, 0)));
  }
  if (argc == 3 && std::strcmp(argv[1], "record") == 0) {
    STARTUPINFOW si;
    ::GetStartupInfoW(&si);
    FILE* f = std::fopen(argv[2], "wb");
    if (f == nullptr) return 2;
    std::fprintf(f, "flags=%lu show=%u console=%d\n", static_cast<unsigned long>(si.dwFlags),
                 static_cast<unsigned>(si.wShowWindow), ::GetConsoleWindow() != nullptr ? 1 : 0);
    std::fclose(f);
    return 0;
  }
  return 100;
}
