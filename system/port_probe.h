#pragma once
// Whether something on this machine listens on a local IPv4 TCP port.

namespace nx {

// True when the machine's IPv4 TCP table has a listening row for port, bound to any local
// address. Connected and closing rows do not count, nor do IPv6 listeners. False when the platform
// cannot deliver the table; never throws for that.
bool PuertoEnUso(int port);

}  // namespace nx
