#include "FtpReplyReader.h"

#include <algorithm>
#include <cctype>

namespace {
const char* const kCRLF = "\r\n";
constexpr std::size_t kMaxReplyLine = 64 * 1024;
constexpr std::size_t kMaxReply = 1024 * 1024; // all lines of a multi-line reply

// Reads a number of one to three digits at pos, 0 to 255.
bool ReadByte(const std::string& text, std::size_t& pos, int& value)
{
  std::size_t digits = 0;
  value = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) && digits < 4) {
    value = value * 10 + (text[pos++] - '0');
    ++digits;
  }
  return digits > 0 && digits < 4 && value <= 255;
}

void SkipBlanks(const std::string& text, std::size_t& pos)
{
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
    ++pos;
}
} // namespace

bool IsReplyCode(const std::string& text)
{
  return text.size() >= 3 && std::isdigit(static_cast<unsigned char>(text[0])) &&
         std::isdigit(static_cast<unsigned char>(text[1])) && std::isdigit(static_cast<unsigned char>(text[2]));
}

bool PasvNumbers(const std::string& reply, int (&fields)[6])
{
  for (std::size_t start = 0; start < reply.size(); ++start) {
    if (!std::isdigit(static_cast<unsigned char>(reply[start])) ||
        (start > 0 && std::isdigit(static_cast<unsigned char>(reply[start - 1]))))
      continue;
    std::size_t pos = start;
    int i = 0;
    while (ReadByte(reply, pos, fields[i]) && ++i < 6) {
      SkipBlanks(reply, pos);
      if (pos >= reply.size() || reply[pos] != ',')
        break;
      SkipBlanks(reply, ++pos);
    }
    if (i == 6)
      return true;
  }
  return false;
}

FtpReplyReader::FtpReplyReader()
{
  timer_.Action = [this] { Check(); };
}

// ---------------------------------------------------------------------------
// Lines and replies

bool FtpReplyReader::Take(std::string& buffer, const std::function<bool(const Line&)>& each)
{
  // One line at a time, taken out of the buffer before it is handed on: a
  // handler may run a modal loop in which the next read is processed.
  for (;;) {
    const std::size_t end = buffer.find('\n');
    std::size_t length = end != std::string::npos ? end : buffer.size();
    // Without its LF yet, a CR at the very end may be the start of CR LF.
    if (length > 0 && buffer[length - 1] == '\r')
      --length;
    if (length > kMaxReplyLine)
      break;
    if (end == std::string::npos)
      return true; // the rest waits for its line end
    Line line;
    line.text = buffer.substr(0, length);
    buffer.erase(0, end + 1);
    Group(line.text, line);
    if (replyText_.size() > kMaxReply || line.reply.size() > kMaxReply)
      break;
    if (!each(line))
      return true;
  }
  // A server that sends without end is cut off before it fills our memory.
  buffer.clear();
  buffer.shrink_to_fit();
  replyText_.clear();
  replyText_.shrink_to_fit();
  openCode_.clear();
  return false;
}

// A reply is complete at its last line: "ddd text", or after "ddd-" lines
// the first line that begins "ddd ".
void FtpReplyReader::Group(const std::string& text, Line& line)
{
  if (openCode_.empty()) {
    line.first = true;
    line.code = text.substr(0, 3);
    Answer(line);
    if (IsReplyCode(text) && text.size() > 3 && text[3] == '-') {
      openCode_ = line.code;
      replyText_ = text + kCRLF;
      return;
    }
    line.last = true;
    line.reply = text + kCRLF;
  } else {
    line.code = openCode_;
    Answer(line);
    replyText_ += text + kCRLF;
    if (text.compare(0, 3, openCode_) != 0 || (text.size() > 3 && text[3] != ' '))
      return;
    line.last = true;
    line.reply.swap(replyText_);
    replyText_.clear();
    openCode_.clear();
  }
  // A final reply settles its command; a 1xx only says that it has begun.
  if (IsReplyCode(line.code) && line.code[0] >= '2' && line.code[0] <= '5' && line.answers != 0 &&
      !awaiting_.empty() && awaiting_.front().serial == line.answers)
    awaiting_.pop_front();
}

// Replies come in the order of their commands: a reply answers the oldest
// command not yet answered. A line without a code answers nothing, and
// neither does a 220 after the greeting (a server that greets twice).
void FtpReplyReader::Answer(Line& line)
{
  if (line.first) {
    answering_ = {0, {}};
    answeringGreeting_ = false;
    if (IsReplyCode(line.code) && !awaiting_.empty() && (line.code != "220" || awaiting_.front().command.empty())) {
      answering_ = awaiting_.front();
      answeringGreeting_ = answering_.command.empty();
    }
  }
  line.answers = answering_.serial;
  line.command = answering_.command;
  line.greeting = answeringGreeting_;
}

void FtpReplyReader::Opened(std::uint64_t greeting)
{
  awaiting_.clear();
  awaiting_.push_back({greeting, {}});
  for (Due& d : early_)
    awaiting_.push_back(std::move(d));
  early_.clear();
  openCode_.clear();
  replyText_.clear();
}

void FtpReplyReader::Sent(std::uint64_t serial, const std::string& command, bool early)
{
  (early ? early_ : awaiting_).push_back({serial, command});
}

void FtpReplyReader::Closed()
{
  awaiting_.clear();
  early_.clear();
  openCode_.clear();
  replyText_.clear();
}

std::string FtpReplyReader::Awaited() const
{
  if (awaiting_.empty())
    return {};
  if (awaiting_.front().command.empty())
    return "the server's greeting";
  return "the reply to " + awaiting_.front().command;
}

// ---------------------------------------------------------------------------
// The silence limit

void FtpReplyReader::Watch(std::chrono::milliseconds limit)
{
  if (timer_.Mode() == Timer::ModeOff || limit != limit_) {
    limit_ = limit;
    Arm(limit);
  }
}

void FtpReplyReader::Arm(std::chrono::milliseconds after)
{
  timer_.SetPeriod(static_cast<int>(std::max<std::chrono::milliseconds::rep>(1, after.count())));
  timer_.SetMode(Timer::ModeSingle);
}

void FtpReplyReader::Check()
{
  if (!due || !due())
    return; // nothing awaited: the next command watches again
  const auto idle =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - lastMovement());
  if (idle < limit_) {
    Arm(limit_ - idle);
    return;
  }
  if (silent)
    silent();
}
