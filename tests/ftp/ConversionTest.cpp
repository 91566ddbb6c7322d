// Text-mode upload conversion whatever the line ends and piece bounds, and
// reading the passive-mode reply.
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

#include "ftp/FtpCommandSocket.h"

namespace {

struct PasvCase {
  std::string reply;
  int port; // -1: refused
};

class PassiveReply : public ::testing::TestWithParam<PasvCase> {};

TEST_P(PassiveReply, GivesThePortOnTheControlHostOrRefuses)
{
  FtpCommandSocket command;
  FtpDataSocket data;
  command.Address = "127.0.0.1";
  command.dataPort = &data;
  EXPECT_EQ(command.setupPasvPort(GetParam().reply), GetParam().port);
  if (GetParam().port > 0) {
    EXPECT_EQ(data.Port, GetParam().port);
    EXPECT_EQ(data.Address, "127.0.0.1"); // never the address in the reply
  } else {
    EXPECT_FALSE(data.IsOpen());
  }
  data.Abort();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, PassiveReply,
    ::testing::Values(PasvCase{"227 Entering Passive Mode (192,168,1,2,19,137).\r\n", 5001},
                      PasvCase{"227 =(10,0,0,1,4,76)\r\n", 1100}, PasvCase{"227 Entering Passive Mode\r\n", -1},
                      PasvCase{"227 (127,0,0,1,4)\r\n", -1}, PasvCase{"227 (127,0,0,1,4,1,9)\r\n", 1025},
                      PasvCase{"227 (127,0,0,1,x,1)\r\n", -1}, PasvCase{"227 (127,0,0,1,300,1)\r\n", -1},
                      PasvCase{"227 )127,0,0,1,4,1(\r\n", 1025}));

} // namespace
