// Text-mode upload conversion, whatever the line ends and the piece bounds.
#include "ftp/FtpDataSocket.h"

#include <gtest/gtest.h>

namespace {

struct AsciiCase {
  std::string file;
  std::string wire;
};

class AsciiUpload : public ::testing::TestWithParam<AsciiCase> {};

TEST_P(AsciiUpload, EveryLineEndGoesAsOneCrLfAtAnyPieceBoundary)
{
  const AsciiCase c = GetParam();
  for (std::size_t cut = 0; cut <= c.file.size(); ++cut) {
    AsciiUploadConverter converter;
    std::string wire = converter.Convert(c.file.substr(0, cut));
    wire += converter.Convert(c.file.substr(cut));
    EXPECT_EQ(wire, c.wire) << "cut at " << cut;
  }
}

INSTANTIATE_TEST_SUITE_P(LineEnds, AsciiUpload,
                         ::testing::Values(AsciiCase{"a\nb\n", "a\r\nb\r\n"}, AsciiCase{"a\r\nb\r\n", "a\r\nb\r\n"},
                                           AsciiCase{"a\rb\r", "a\r\nb\r\n"},
                                           AsciiCase{"\r\n\r\n\n\r\r", "\r\n\r\n\r\n\r\n\r\n"},
                                           AsciiCase{"no line end", "no line end"}, AsciiCase{"", ""}));

} // namespace
