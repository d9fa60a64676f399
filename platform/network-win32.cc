#include <winsock2.h>
#include <ws2tcpip.h>
// iphlpapi.h needs the socket headers first.
#include <iphlpapi.h>

#include <algorithm>

#include "platform/win32_parts.h"

namespace nx {

namespace {

// The socket library for the life of one call (its start and end are counted by Windows).
class SocketLibrary {
 public:
  SocketLibrary() {
    WSADATA data;
    ok_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~SocketLibrary() {
    if (ok_) ::WSACleanup();
  }
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

bool ConnectOne(const sockaddr* address, int length, DWORD deadline) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  u_long nonBlocking = 1;
  bool ok = false;
  if (::ioctlsocket(s, FIONBIO, &nonBlocking) == 0) {
    if (::connect(s, address, length) == 0) {
      ok = true;
    } else if (::WSAGetLastError() == WSAEWOULDBLOCK) {
      const DWORD now = ::GetTickCount();
      const long left = static_cast<long>(deadline - now);
      if (left > 0) {
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval wait{left / 1000, (left % 1000) * 1000};
        if (::select(0, nullptr, &writable, &failed, &wait) > 0 && FD_ISSET(s, &writable)) {
          int soError = 0;
          int len = sizeof soError;
          ok = ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len) == 0 && soError == 0;
        }
      }
    }
  }
  ::closesocket(s);
  return ok;
}

}  // namespace

uint32_t Win32Network::GetTcpTable(void* buffer, uint32_t* size, bool sort) {
  if (size == nullptr) return ERROR_INVALID_PARAMETER;
  ULONG length = *size;
  const DWORD r = ::GetTcpTable(static_cast<PMIB_TCPTABLE>(buffer), &length, sort ? TRUE : FALSE);
  *size = length;
  return r;
}

bool Win32Network::CanConnect(const std::string& host, uint16_t port, int timeoutMs) {
  const DWORD deadline = ::GetTickCount() + static_cast<DWORD>(std::max(timeoutMs, 0));
  SocketLibrary sockets;
  if (!sockets.ok()) return false;
  addrinfo hints;
  ZeroMemory(&hints, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || found == nullptr) return false;
  bool ok = false;
  for (addrinfo* a = found; a != nullptr && !ok; a = a->ai_next) {
    if (static_cast<long>(deadline - ::GetTickCount()) <= 0) break;
    ok = ConnectOne(a->ai_addr, static_cast<int>(a->ai_addrlen), deadline);
  }
  ::freeaddrinfo(found);
  return ok;
}

}  // namespace nx
