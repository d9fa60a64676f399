#pragma once
// The Windows Installer packages of the hosted machine. A package ("vccrt10_Win32.msi") is a text
// file, ASCII or the system code page, lines ended by CR LF or LF:
//
//   NXMSI 1
//   ProductName=Microsoft Runtime C++ 10 (x86)
//   ProductVersion=10.0.1
//   Manufacturer=Microsoft Corporation
//   ProductCode={6E1D2B8A-3C4F-4A5B-9D7E-0F1A2B3C4D5E}
//
// The first line is the marker "NXMSI 1" exactly (a file without it is no package: msiexec
// refuses it with 1620). Then Name=Value lines, names without regard to case, blanks around the
// value dropped; blank lines and lines starting with ';' or '#' are ignored. ProductName is
// required; ProductVersion and Manufacturer are optional; ProductCode, when given, must be a
// braced GUID, and when missing the code is derived from the package's file name (the same name
// always gives the same code). A line that is not Name=Value, an unknown name or a repeated name
// makes the package invalid.
//
// Installing records the product where Windows lists installed programs:
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{ProductCode} with DisplayName,
// DisplayVersion, Publisher, InstallSource, InstallDate (yyyymmdd), LocalPackage,
// WindowsInstaller=1 and, as Windows Installer does, UninstallString "MsiExec.exe /X{code}".

#include <optional>
#include <string>

namespace nx::msi {

inline constexpr const char* kPackageMarker = "NXMSI 1";
inline constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

struct Package {
  std::string productName;
  std::string productVersion;
  std::string manufacturer;
  std::string productCode;  // braced GUID, upper case
};

// The package in bytes (a file's content); std::nullopt with *error set when it is none.
// fileName (bare, "vccrt10_Win32.msi") gives the product code when the package has none.
std::optional<Package> ParsePackage(const std::string& bytes, const std::string& fileName,
                                    std::string* error);

// The package written in the format above (for the medium builder and tests).
std::string FormatPackage(const Package& package);

// The product code derived from a package's file name: a braced upper-case GUID from a hash of
// the name folded to upper case.
std::string ProductCodeForName(const std::string& fileName);

bool IsBracedGuid(const std::string& text);

}  // namespace nx::msi
