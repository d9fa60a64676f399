#include "platform/native_platform.h"

#include "platform/hosted_machine.h"

namespace nx {

Platform& NativePlatform() { return CurrentHostedMachine().platform(); }

}  // namespace nx
