#include "framework/CaseFold.h"

#include <QChar>
#include <QList>
#include <QString>

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

// One run of well-formed UTF-8: decomposed, folded, composed again, so
// that a name typed on one system and one written on another, in either
// case, give one text.
std::string FoldRun(const std::string& run)
{
  const QList<uint> decomposed = QString::fromUtf8(run).normalized(QString::NormalizationForm_D).toUcs4();
  std::vector<char32_t> folded;
  folded.reserve(static_cast<std::size_t>(decomposed.size()));
  // QChar's folding is the simple one: one character for one ("ẞ" gives
  // "ß", and "ß" stays).
  for (const uint cp : decomposed)
    folded.push_back(QChar::toCaseFolded(static_cast<char32_t>(cp)));
  const QString composed = QString::fromUcs4(folded.data(), static_cast<qsizetype>(folded.size()))
                               .normalized(QString::NormalizationForm_C);
  const QByteArray utf8 = composed.toUtf8();
  return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
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
  return out;
}
