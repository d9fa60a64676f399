#pragma once
// The password of the engine accounts SYSDBA and NORVEXA, shared by the engine instance and the
// databases on the installation medium. It is built from its pieces every time it is needed and
// must never be written to a log, an error text or a file.

#include <string>

namespace nx {

std::string ProductPassword();

}  // namespace nx
