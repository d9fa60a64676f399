#include "app/sockets.h"

namespace nx {

// Host sockets need no start-up.
void StartSocketLibrary() {}
void StopSocketLibrary() {}

}  // namespace nx
