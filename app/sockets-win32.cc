#include "app/sockets.h"

#include <winsock2.h>

namespace nx {

void StartSocketLibrary() {
  WSADATA data;
  WSAStartup(0x0202, &data);
}

void StopSocketLibrary() { WSACleanup(); }

}  // namespace nx
