#include "TextStream.h"
#include "StdioFile.h"


TextInputStream::TextInputStream(std::FILE* file) : file_(file) {}

TextInputStream::~TextInputStream()
{
  Close();
}

std::string TextInputStream::ReadLine()
{
  std::string line;
  if (!file_)
    return line;
  for (;;) {
    const int c = std::getc(file_);
    if (c == -1) {
      if (std::ferror(file_))
        readError_ = true;
      break;
    }
    if (c == '\n')
      break;
    if (c == '\r') {
      const int next = std::getc(file_);
      if (next != '\n' && next != -1)
        std::ungetc(next, file_);
      break;
    }
    line.push_back(static_cast<char>(c));
  }
  return line;
}

std::string TextInputStream::ReadAll()
{
  std::string all;
  if (!file_)
    return all;
  char buf[65536];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, file_)) > 0)
    all.append(buf, got);
  if (std::ferror(file_))
    readError_ = true;
  return all;
}

bool TextInputStream::EOF() const
{
  if (!file_ || readError_)
    return true;
  const int c = std::getc(file_);
  if (c == -1) {
    if (std::ferror(file_))
      readError_ = true;
    return true;
  }
  std::ungetc(c, file_);
  return false;
}

void TextInputStream::Close()
{
  if (file_)
    std::fclose(file_);
  file_ = nullptr;
}

TextOutputStream::TextOutputStream(std::FILE* file) : file_(file) {}

TextOutputStream::~TextOutputStream()
{
  Close();
}

void TextOutputStream::Write(const std::string& bytes)
{
  WriteBytes(file_, bytes, writeFailed_);
}

void TextOutputStream::WriteLine(const std::string& line)
{
  Write(line + "\n");
}

bool TextOutputStream::Flush()
{
  return FlushToDisk(file_, writeFailed_);
}

bool TextOutputStream::Close()
{
  return CloseFile(file_, writeFailed_);
}
