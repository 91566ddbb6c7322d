#include "trees/SendableName.h"

#include <cstdio>

namespace {

// The longest command a run writes for a path is "STOR " or "DELE " and
// the path; the line end is not counted. pyftpdlib refuses a line beyond
// 2,048 bytes and answers it twice, which puts every later reply one off.
constexpr std::size_t kLongestVerb = 5;
constexpr std::size_t kLongestCommandLine = 2000;

bool Control(unsigned char c)
{
  return c < 0x20 || c == 0x7F;
}

} // namespace

std::string WhyNameLeftAlone(const std::string& name, std::size_t remotePathLength)
{
  for (const char c : name) {
    if (Control(static_cast<unsigned char>(c)))
      return "named with a control character, which a server may store or read as another name";
    if (static_cast<unsigned char>(c) == 0xFF)
      return "named with the byte 0xFF, which a server may read as another name";
  }
  if (!name.empty() && name.back() == ' ')
    return "named with a trailing blank, which a server may store as another name";
  if (!name.empty() && name.back() == '.')
    return "named with a trailing dot, which a server may store as another name";
  if (kLongestVerb + remotePathLength > kLongestCommandLine)
    return "on a path too long for one command line";
  return {};
}

std::string ShownName(const std::string& text)
{
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (Control(b) || b == 0xFF) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", b);
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}
