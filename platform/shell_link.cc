#include "platform/shell_link.h"

#include <cstdint>
#include <optional>

#include "platform/text.h"

namespace nx {

namespace {

// LinkFlags
constexpr uint32_t kHasLinkInfo = 0x02;
constexpr uint32_t kHasWorkingDir = 0x10;
constexpr uint32_t kHasArguments = 0x20;
constexpr uint32_t kIsUnicode = 0x80;
// LinkInfoFlags
constexpr uint32_t kVolumeIdAndLocalBasePath = 0x01;
constexpr uint32_t kDriveFixed = 3;
constexpr uint32_t kSwShowNormal = 1;

void U16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

void U32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutU32(std::string& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string Utf16Bytes(const std::string& utf8) {
  std::string out;
  for (char16_t c : Utf8ToUtf16(utf8)) U16(out, static_cast<uint16_t>(c));
  return out;
}

// A StringData entry: its length in characters, then the characters, no terminator.
void CountedString(std::string& out, const std::string& utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  U16(out, static_cast<uint16_t>(text.size()));
  for (char16_t c : text) U16(out, static_cast<uint16_t>(c));
}

// The 8-bit copy of the path; a character the code page lacks reads as '?' there, the UTF-16
// copy beside it keeps it.
std::string AnsiPath(const std::string& utf8) {
  if (std::optional<std::string> bytes = Utf8ToCodePage(utf8, SystemCodePage())) return *bytes;
  std::string out;
  for (char16_t c : Utf8ToUtf16(utf8)) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::string LinkInfo(const std::string& target) {
  constexpr uint32_t kHeaderSize = 0x24;  // with the Unicode offsets
  std::string volume;
  U32(volume, 0);  // size, set below
  U32(volume, kDriveFixed);
  U32(volume, 0);     // serial number
  U32(volume, 0x10);  // label offset
  volume += '\0';     // no label
  PutU32(volume, 0, static_cast<uint32_t>(volume.size()));

  const std::string ansi = AnsiPath(target) + '\0';
  const std::string suffix(1, '\0');
  const std::string unicode = Utf16Bytes(target) + std::string(2, '\0');
  const std::string suffixUnicode(2, '\0');

  const uint32_t volumeAt = kHeaderSize;
  const uint32_t ansiAt = volumeAt + static_cast<uint32_t>(volume.size());
  const uint32_t suffixAt = ansiAt + static_cast<uint32_t>(ansi.size());
  const uint32_t unicodeAt = suffixAt + static_cast<uint32_t>(suffix.size());
  const uint32_t suffixUnicodeAt = unicodeAt + static_cast<uint32_t>(unicode.size());
  const uint32_t total = suffixUnicodeAt + static_cast<uint32_t>(suffixUnicode.size());

  std::string out;
  U32(out, total);
  U32(out, kHeaderSize);
  U32(out, kVolumeIdAndLocalBasePath);
  U32(out, volumeAt);
  U32(out, ansiAt);
  U32(out, 0);  // no network location
  U32(out, suffixAt);
  U32(out, unicodeAt);
  U32(out, suffixUnicodeAt);
  out += volume + ansi + suffix + unicode + suffixUnicode;
  return out;
}

}  // namespace

std::string FormatShellLink(const ShellLink& link) {
  std::string out;
  U32(out, 0x4C);  // header size
  // CLSID_ShellLink {00021401-0000-0000-C000-000000000046}
  static constexpr unsigned char kClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  out.append(reinterpret_cast<const char*>(kClsid), sizeof kClsid);
  // An empty folder or argument list is stored as none, as the shell's own link object does.
  uint32_t flags = kHasLinkInfo | kIsUnicode;
  if (!link.workingFolder.empty()) flags |= kHasWorkingDir;
  if (!link.arguments.empty()) flags |= kHasArguments;
  U32(out, flags);
  U32(out, 0);                   // file attributes: the target is not looked at
  out.append(24, '\0');          // creation, access and write times
  U32(out, 0);                   // file size
  U32(out, 0);                   // icon index
  U32(out, kSwShowNormal);       // show command
  U16(out, 0);                   // hot key
  out.append(10, '\0');          // reserved
  out += LinkInfo(link.target);
  if (!link.workingFolder.empty()) CountedString(out, link.workingFolder);
  if (!link.arguments.empty()) CountedString(out, link.arguments);
  U32(out, 0);  // terminal block
  return out;
}

}  // namespace nx
