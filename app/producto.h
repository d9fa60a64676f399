#pragma once
// The maker's details as the product shows them: the remote-support notice, the installation's
// error report and the Windows uninstall entries all read them from here.

namespace nx {

// The maker's web address; it ends in a slash so that a page name can follow it.
inline constexpr char kWebNorvexa[] = "https://www.norvexa.es/";
inline constexpr char kEmailSoporte[] = "soporte@norvexa.es";
inline constexpr char kTelefonoSoporte[] = "+34 918 276 540";

// The database engine project's web address (the engine's own uninstall entry).
inline constexpr char kWebFirebird[] = "https://www.firebirdsql.org/";

}  // namespace nx
