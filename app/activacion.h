#pragma once
// The test for administrator rights of the start-up checks.

namespace nx {

// True when the running program's access token lists the Administrators group (a deny-only
// entry, as under User Account Control without elevation, counts too).
bool EsAdministrador();

}  // namespace nx
