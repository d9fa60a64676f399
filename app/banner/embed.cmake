# Writes the bytes of IN as the C++ array nx::kBannerPng into OUT.
# cmake -DIN=banner.png -DOUT=banner_png.cc -P embed.cmake
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUT}.tmp"
"// Generated from the banner painter's output; do not edit.\n#include <cstddef>\nnamespace nx {\nextern const unsigned char kBannerPng[] = {\n${bytes}\n};\nextern const size_t kBannerPngSize = ${size};\n}  // namespace nx\n")
file(RENAME "${OUT}.tmp" "${OUT}")
