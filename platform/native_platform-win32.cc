#include "platform/native_platform.h"
#include "platform/win32_parts.h"

namespace nx {

Platform& NativePlatform() {
  static Win32FileSystem files;
  static Win32Registry registry;
  static Win32ProcessRunner processes;
  static Win32Environment environment;
  static Win32Network network;
  static Win32Clock clock;
  static Win32SystemInfo system;
  static Win32Shell shell;
  static Win32ShellLinks links;
  static Platform platform{&files, &registry, &processes, &environment, &network, &clock, &system, &shell, &links};
  return platform;
}

}  // namespace nx
