#pragma once
// The banner picture built into the program: the PNG drawn for it when the program was built.

#include <string>

namespace nx {

const std::string& BuiltInBanner();

}  // namespace nx
