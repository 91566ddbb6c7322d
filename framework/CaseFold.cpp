#include "framework/CaseFold.h"

#include <QChar>
#include <QList>
#include <QString>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD"; // U+FFFD

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

// Unicode's full case foldings that give more than one character (status F
// in CaseFolding.txt), by code point; every other character folds as QChar
// folds it. Made with Python's str.casefold(), which folds fully:
//   [(c, chr(c).casefold()) for c in range(0x110000)
//    if not 0xD800 <= c < 0xE000 and len(chr(c).casefold()) > 1]
struct FullFold {
  char32_t from;
  char32_t to[3]; // unused places 0
};

constexpr FullFold kFullFolds[] = {
  {0x00DF, {0x0073, 0x0073}}, {0x0130, {0x0069, 0x0307}}, {0x0149, {0x02BC, 0x006E}}, {0x01F0, {0x006A, 0x030C}},
  {0x0390, {0x03B9, 0x0308, 0x0301}}, {0x03B0, {0x03C5, 0x0308, 0x0301}}, {0x0587, {0x0565, 0x0582}},
  {0x1E96, {0x0068, 0x0331}}, {0x1E97, {0x0074, 0x0308}}, {0x1E98, {0x0077, 0x030A}}, {0x1E99, {0x0079, 0x030A}},
  {0x1E9A, {0x0061, 0x02BE}}, {0x1E9E, {0x0073, 0x0073}}, {0x1F50, {0x03C5, 0x0313}},
  {0x1F52, {0x03C5, 0x0313, 0x0300}}, {0x1F54, {0x03C5, 0x0313, 0x0301}}, {0x1F56, {0x03C5, 0x0313, 0x0342}},
  {0x1F80, {0x1F00, 0x03B9}}, {0x1F81, {0x1F01, 0x03B9}}, {0x1F82, {0x1F02, 0x03B9}}, {0x1F83, {0x1F03, 0x03B9}},
  {0x1F84, {0x1F04, 0x03B9}}, {0x1F85, {0x1F05, 0x03B9}}, {0x1F86, {0x1F06, 0x03B9}}, {0x1F87, {0x1F07, 0x03B9}},
  {0x1F88, {0x1F00, 0x03B9}}, {0x1F89, {0x1F01, 0x03B9}}, {0x1F8A, {0x1F02, 0x03B9}}, {0x1F8B, {0x1F03, 0x03B9}},
  {0x1F8C, {0x1F04, 0x03B9}}, {0x1F8D, {0x1F05, 0x03B9}}, {0x1F8E, {0x1F06, 0x03B9}}, {0x1F8F, {0x1F07, 0x03B9}},
  {0x1F90, {0x1F20, 0x03B9}}, {0x1F91, {0x1F21, 0x03B9}}, {0x1F92, {0x1F22, 0x03B9}}, {0x1F93, {0x1F23, 0x03B9}},
  {0x1F94, {0x1F24, 0x03B9}}, {0x1F95, {0x1F25, 0x03B9}}, {0x1F96, {0x1F26, 0x03B9}}, {0x1F97, {0x1F27, 0x03B9}},
  {0x1F98, {0x1F20, 0x03B9}}, {0x1F99, {0x1F21, 0x03B9}}, {0x1F9A, {0x1F22, 0x03B9}}, {0x1F9B, {0x1F23, 0x03B9}},
  {0x1F9C, {0x1F24, 0x03B9}}, {0x1F9D, {0x1F25, 0x03B9}}, {0x1F9E, {0x1F26, 0x03B9}}, {0x1F9F, {0x1F27, 0x03B9}},
  {0x1FA0, {0x1F60, 0x03B9}}, {0x1FA1, {0x1F61, 0x03B9}}, {0x1FA2, {0x1F62, 0x03B9}}, {0x1FA3, {0x1F63, 0x03B9}},
  {0x1FA4, {0x1F64, 0x03B9}}, {0x1FA5, {0x1F65, 0x03B9}}, {0x1FA6, {0x1F66, 0x03B9}}, {0x1FA7, {0x1F67, 0x03B9}},
  {0x1FA8, {0x1F60, 0x03B9}}, {0x1FA9, {0x1F61, 0x03B9}}, {0x1FAA, {0x1F62, 0x03B9}}, {0x1FAB, {0x1F63, 0x03B9}},
  {0x1FAC, {0x1F64, 0x03B9}}, {0x1FAD, {0x1F65, 0x03B9}}, {0x1FAE, {0x1F66, 0x03B9}}, {0x1FAF, {0x1F67, 0x03B9}},
  {0x1FB2, {0x1F70, 0x03B9}}, {0x1FB3, {0x03B1, 0x03B9}}, {0x1FB4, {0x03AC, 0x03B9}}, {0x1FB6, {0x03B1, 0x0342}},
  {0x1FB7, {0x03B1, 0x0342, 0x03B9}}, {0x1FBC, {0x03B1, 0x03B9}}, {0x1FC2, {0x1F74, 0x03B9}},
  {0x1FC3, {0x03B7, 0x03B9}}, {0x1FC4, {0x03AE, 0x03B9}}, {0x1FC6, {0x03B7, 0x0342}},
  {0x1FC7, {0x03B7, 0x0342, 0x03B9}}, {0x1FCC, {0x03B7, 0x03B9}}, {0x1FD2, {0x03B9, 0x0308, 0x0300}},
  {0x1FD3, {0x03B9, 0x0308, 0x0301}}, {0x1FD6, {0x03B9, 0x0342}}, {0x1FD7, {0x03B9, 0x0308, 0x0342}},
  {0x1FE2, {0x03C5, 0x0308, 0x0300}}, {0x1FE3, {0x03C5, 0x0308, 0x0301}}, {0x1FE4, {0x03C1, 0x0313}},
  {0x1FE6, {0x03C5, 0x0342}}, {0x1FE7, {0x03C5, 0x0308, 0x0342}}, {0x1FF2, {0x1F7C, 0x03B9}},
  {0x1FF3, {0x03C9, 0x03B9}}, {0x1FF4, {0x03CE, 0x03B9}}, {0x1FF6, {0x03C9, 0x0342}},
  {0x1FF7, {0x03C9, 0x0342, 0x03B9}}, {0x1FFC, {0x03C9, 0x03B9}}, {0xFB00, {0x0066, 0x0066}},
  {0xFB01, {0x0066, 0x0069}}, {0xFB02, {0x0066, 0x006C}}, {0xFB03, {0x0066, 0x0066, 0x0069}},
  {0xFB04, {0x0066, 0x0066, 0x006C}}, {0xFB05, {0x0073, 0x0074}}, {0xFB06, {0x0073, 0x0074}},
  {0xFB13, {0x0574, 0x0576}}, {0xFB14, {0x0574, 0x0565}}, {0xFB15, {0x0574, 0x056B}}, {0xFB16, {0x057E, 0x0576}},
  {0xFB17, {0x0574, 0x056D}},
};
static_assert(std::is_sorted(std::begin(kFullFolds), std::end(kFullFolds),
                             [](const FullFold& a, const FullFold& b) { return a.from < b.from; }));

// Appends the full case folding of cp.
void AppendFolded(char32_t cp, std::vector<char32_t>& out)
{
  const auto* end = std::end(kFullFolds);
  const auto* f = std::lower_bound(std::begin(kFullFolds), end, cp,
                                   [](const FullFold& e, char32_t c) { return e.from < c; });
  if (f == end || f->from != cp) {
    out.push_back(QChar::toCaseFolded(cp));
    return;
  }
  for (const char32_t c : f->to)
    if (c != 0)
      out.push_back(c);
}

// One run of well-formed UTF-8: decomposed, folded, composed again, so
// that a name typed on one system and one written on another, in either
// case, give one text.
std::string FoldRun(const std::string& run)
{
  const QList<uint> decomposed = QString::fromUtf8(run).normalized(QString::NormalizationForm_D).toUcs4();
  std::vector<char32_t> folded;
  folded.reserve(static_cast<std::size_t>(decomposed.size()));
  for (const uint cp : decomposed)
    AppendFolded(static_cast<char32_t>(cp), folded);
  const QString composed = QString::fromUcs4(folded.data(), static_cast<qsizetype>(folded.size()))
                               .normalized(QString::NormalizationForm_C);
  const QByteArray utf8 = composed.toUtf8();
  return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

// Each "/"-separated name without its trailing dots and blanks, which a
// server on Windows drops: "notes." and "notes " are stored as "notes".
std::string WithoutTrailingDotsAndBlanks(const std::string& path)
{
  std::string out;
  out.reserve(path.size());
  std::size_t begin = 0;
  for (;;) {
    const std::size_t slash = path.find('/', begin);
    const std::size_t end = slash == std::string::npos ? path.size() : slash;
    std::size_t kept = end;
    while (kept > begin && (path[kept - 1] == '.' || path[kept - 1] == ' '))
      --kept;
    out.append(path, begin, kept - begin);
    if (slash == std::string::npos)
      return out;
    out += '/';
    begin = slash + 1;
  }
}

} // namespace

std::string CaseAndFormFolded(const std::string& bytes)
{
  std::string text; // well-formed UTF-8
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t cp = 0;
    const std::size_t n = DecodeAt(bytes, i, cp);
    if (n == 0) {
      // A server that keeps names as UTF-8 stores such a byte as U+FFFD
      // (pyftpdlib does): what a run stored under it keeps that name too.
      text += kReplacement;
      ++i;
      continue;
    }
    text.append(bytes, i, n);
    i += n;
  }
  std::string out = FoldRun(text);
  // However many a server made of a run of such bytes.
  const std::string twice = std::string(kReplacement) + kReplacement;
  for (std::size_t k = 0; (k = out.find(twice, k)) != std::string::npos;)
    out.erase(k, sizeof kReplacement - 1);
  return WithoutTrailingDotsAndBlanks(out);
}
