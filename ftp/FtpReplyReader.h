#pragma once
// Reads the control connection's replies: cuts the bytes received into
// lines, groups the lines of a multi-line reply, keeps both within bounds,
// tells which command each reply answers, and notices a server that stops
// answering. What a reply leads to is the control connection's business.

#include "framework/Timer.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

// A server that stays silent this long while an answer is due is given up.
inline constexpr std::chrono::seconds kSilenceLimit{60};

class FtpReplyReader {
public:
  FtpReplyReader();

  // One line of a reply, handed over as it arrives.
  struct Line {
    std::string text;          // without its line end
    std::string code;          // the reply's code: the first three characters of its first line
    bool first = false;        // opens the reply
    bool last = false;         // completes it
    std::string reply;         // when last: every line of the reply, each ended by CR LF
    std::uint64_t answers = 0; // the command it answers (its serial); 0 for none
    std::string command;       // that command as written; empty for the greeting
    bool greeting = false;     // it answers the opening of the connection
  };

  // Takes every complete line out of buffer, in order, and hands it to each,
  // which returns false to stop at once (its owner may be gone). A line ends
  // at CR LF or at a bare LF. False when a line or a reply grew beyond what
  // is kept; nothing more of it was handed on.
  bool Take(std::string& buffer, const std::function<bool(const Line&)>& each);

  // The connection opened: its greeting is due first (serial greeting), then
  // the answers to what was written while it opened.
  void Opened(std::uint64_t greeting);
  // A command went out, or is held by the socket until the connection is up
  // (early); its answer is due.
  void Sent(std::uint64_t serial, const std::string& command, bool early);
  // The connection ended: nothing is due any more.
  void Closed();
  // Some command still awaits its answer.
  bool Waiting() const { return !awaiting_.empty(); }
  // The oldest answer due, in words ("the reply to CWD /a"); empty if none.
  std::string Awaited() const;

  // The silence limit. While due() holds and lastMovement() lies limit in
  // the past, silent is raised (from the event loop).
  std::function<bool()> due;
  std::function<std::chrono::steady_clock::time_point()> lastMovement;
  std::function<void()> silent;
  // Something may have become due: from now on it is watched.
  void Watch(std::chrono::milliseconds limit);

private:
  struct Due {
    std::uint64_t serial;
    std::string command; // empty: the greeting
  };
  std::deque<Due> awaiting_;
  std::deque<Due> early_; // written while the connection opened
  std::string openCode_;  // code of a multi-line reply still open
  std::string replyText_; // its lines so far
  Due answering_{0, {}};  // what the reply still open answers
  bool answeringGreeting_ = false;
  Timer timer_;
  std::chrono::milliseconds limit_{kSilenceLimit};

  void Group(const std::string& text, Line& line);
  void Answer(Line& line);
  void Arm(std::chrono::milliseconds after);
  void Check();
};

// The text begins with three digits, as a reply code.
bool IsReplyCode(const std::string& text);

// The six numbers of a 227 reply, blanks allowed around them; servers differ
// on blanks and on the parentheses. False when there are not six.
bool PasvNumbers(const std::string& reply, int (&fields)[6]);
