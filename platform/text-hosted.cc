#include "platform/text.h"

namespace nx {

// The hosted machine is a Western European Windows.
int SystemCodePage() { return kCodePageWindows1252; }

}  // namespace nx
