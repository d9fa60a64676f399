#pragma once
// The socket library's start and end for the process: WSAStartup/WSACleanup on Windows, nothing
// where sockets need no set-up. Results are not looked at.

namespace nx {

void StartSocketLibrary();
void StopSocketLibrary();

}  // namespace nx
