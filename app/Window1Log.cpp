#include "app/Window1.h"
#include "app/Texts.h"

#include "settings/Globals.h"
#include "framework/FileDialogs.h"
#include "framework/Modal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>

namespace {
// Writes text to path through a temporary file beside it, so an existing
// file stays whole when anything fails. Returns an empty text or the error.
std::string writeWhole(const std::string& path, const std::string& text)
{
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string tmpl = dir + ".quillmere-log-XXXXXX";
  int fd = mkstemp(tmpl.data());
  if (fd < 0)
    return std::strerror(errno);
  const char* p = text.data();
  std::size_t left = text.size();
  std::string err;
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      err = std::strerror(errno);
      break;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (err.empty() && ::fsync(fd) != 0)
    err = std::strerror(errno);
  fchmod(fd, 0644);
  if (::close(fd) != 0 && err.empty())
    err = std::strerror(errno);
  if (err.empty() && std::rename(tmpl.c_str(), path.c_str()) != 0)
    err = std::strerror(errno);
  if (!err.empty())
    ::unlink(tmpl.c_str());
  return err;
}
} // namespace

std::string Window1::stripLeadingWhiteSpace(const std::string& text) const
{
  const auto first = text.find_first_not_of(" \t");
  return first == std::string::npos ? std::string() : text.substr(first);
}

void Window1::updateStatus(const std::string& line)
{
  EditField5.AppendText(line + "\n");
}

void Window1::ClearLog()
{
  const int answer = gCautionDlg(2, Text::Clear, Text::Cancel, "", "本当にクリアしますか？", Text::CannotUndo, this);
  if (answer == CautionCancel) {
    // The toolbar item was disabled on the way in; nothing was cleared.
    Toolbar11.ToolItem6.SetEnabled(true);
    return;
  }
  EditField5.SetText("");
  ClearVal();
  pMode = 0;
}

void Window1::SaveLog()
{
  const std::string chosen = ChooseSaveFile();
  if (chosen.empty())
    return;
  const std::string err = writeWhole(chosen, EditField5.Text());
  if (!err.empty())
    MsgBox("The log could not be saved to \"" + chosen + "\": " + err + ".");
}
