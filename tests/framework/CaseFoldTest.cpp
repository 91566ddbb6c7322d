#include "framework/CaseFold.h"

#include <gtest/gtest.h>

namespace {

struct FoldCase {
  const char* name;
  std::string text;
  std::string folded;
};

class CaseFold : public ::testing::TestWithParam<FoldCase> {};

// As servers on case- or normalisation-ignoring file systems fold names:
// beyond ASCII, a letter into several where Unicode folds it so, composed,
// each name without the trailing dots and blanks Windows drops; bytes that
// are not UTF-8 as the U+FFFD a server keeping UTF-8 names stores for them.
TEST_P(CaseFold, FoldsLettersOfUtf8Only)
{
  EXPECT_EQ(CaseAndFormFolded(GetParam().text), GetParam().folded);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CaseFold,
    ::testing::Values(FoldCase{"ascii", "/Pub/Photo.JPG", "/pub/photo.jpg"},
                      FoldCase{"latin", "ÄRGER Éte ÿ", "ärger éte ÿ"},
                      FoldCase{"greekAndCyrillic", "ΣΟΦΊΑ ς ПРИВЕТ Ё", "σοφία σ привет ё"},
                      FoldCase{"full", "STRAẞE Straße ǅ ﬁle ﬃ İ", "strasse strasse ǆ file ffi i\u0307"},
                      FoldCase{"trailingDotsAndBlanks", "//Site. /Notes../a.b/c. .", "//site/notes/a.b/c"},
                      FoldCase{"unchanged", "日本語 1-2_3", "日本語 1-2_3"},
                      // decomposed as a Mac writes it, beside a byte that is not UTF-8
                      FoldCase{"composed", "Cafe\u0301 \xFF A\u0308", "caf\u00E9 \uFFFD \u00E4"},
                      // Latin-1 "Ä", a cut sequence, an overlong "A", a surrogate
                      FoldCase{"notUtf8", "\xC4R\xC3 \xC1\x81 \xED\xA0\x80", "\uFFFDr\uFFFD \uFFFD \uFFFD"},
                      FoldCase{"asStoredInUtf8", "lat\uFFFD\uFFFD.TXT", "lat\uFFFD.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
