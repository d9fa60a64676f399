#include "tools/cmd/name_template.h"

#include "platform/text.h"

namespace nx::tools {
namespace {

// Bytes of the UTF-8 character starting at i.
size_t CharLength(const std::string& s, size_t i) {
  size_t n = 1;
  while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
  return n;
}

}  // namespace

std::string ApplyNameTemplate(const std::string& source, const std::string& tmpl) {
  const std::string folded = FoldCase(source);
  std::string out;
  size_t s = 0;
  for (size_t t = 0; t < tmpl.size(); ++t) {
    char c = tmpl[t];
    if (c == '*') {
      while (t + 1 < tmpl.size() && tmpl[t + 1] == '*') ++t;
      if (t + 1 == tmpl.size() || tmpl[t + 1] == '?') {
        out += source.substr(s);
        s = source.size();
        continue;
      }
      std::string next = FoldCase(std::string(1, tmpl[t + 1]));
      size_t last = folded.rfind(next);
      if (last != std::string::npos && last >= s && next.size() == 1) {
        out += source.substr(s, last - s);
        s = last;
      } else {
        out += source.substr(s);
        s = source.size();
      }
    } else if (c == '?') {
      if (s < source.size() && source[s] != '.') {
        size_t n = CharLength(source, s);
        out += source.substr(s, n);
        s += n;
      }
    } else if (c == '.') {
      size_t dot = source.find('.', s);
      s = dot == std::string::npos ? source.size() : dot + 1;
      out += '.';
    } else {
      out += c;
      if (s < source.size() && source[s] != '.') s += CharLength(source, s);
    }
  }
  while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
  return out;
}

}  // namespace nx::tools
