#include "framework/CaseFold.h"

#include <QChar>

namespace {

bool Continuation(unsigned char b)
{
  return (b & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at text[i] and its code point;
// 0 when the bytes there are not one (overlong forms and surrogates
// included).
std::size_t DecodeAt(const std::string& text, std::size_t i, char32_t& cp)
{
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const std::size_t left = text.size() - i;
  const unsigned char b0 = byte(0);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  if (b0 >= 0xC2 && b0 <= 0xDF && left >= 2 && Continuation(byte(1))) {
    cp = (char32_t(b0 & 0x1F) << 6) | (byte(1) & 0x3F);
    return 2;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF && left >= 3 && Continuation(byte(1)) && Continuation(byte(2))) {
    cp = (char32_t(b0 & 0x0F) << 12) | (char32_t(byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
      return 0;
    return 3;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4 && left >= 4 && Continuation(byte(1)) && Continuation(byte(2)) &&
      Continuation(byte(3))) {
    cp = (char32_t(b0 & 0x07) << 18) | (char32_t(byte(1) & 0x3F) << 12) | (char32_t(byte(2) & 0x3F) << 6) |
         (byte(3) & 0x3F);
    if (cp < 0x10000 || cp > 0x10FFFF)
      return 0;
    return 4;
  }
  return 0;
}

void Encode(char32_t cp, std::string& out)
{
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

} // namespace

std::string CaseFolded(const std::string& bytes)
{
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t cp = 0;
    const std::size_t n = DecodeAt(bytes, i, cp);
    if (n == 0) {
      out += bytes[i++];
      continue;
    }
    // QChar's folding is the simple one: one character for one ("ẞ" gives
    // "ß", and "ß" stays).
    Encode(n == 1 ? (cp >= 'A' && cp <= 'Z' ? cp + 32 : cp) : QChar::toCaseFolded(cp), out);
    i += n;
  }
  return out;
}
