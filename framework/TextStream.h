#pragma once
// Text file streams. Bytes stay bytes; ReadLine accepts LF, CR LF and CR.

#include <cstdio>
#include <string>

// The streams offer EOF() as the program names it; the C macro of that name
// would turn the method into (-1)(). Compare getc results with -1 instead.
#undef EOF

class TextInputStream {
public:
  explicit TextInputStream(std::FILE* file);
  ~TextInputStream();
  TextInputStream(const TextInputStream&) = delete;
  TextInputStream& operator=(const TextInputStream&) = delete;

  std::string ReadLine(); // without its line end
  std::string ReadAll();
  bool EOF() const;
  bool ReadError() const { return readError_; }
  void Close();

private:
  std::FILE* file_;
  mutable bool readError_ = false;
};

class TextOutputStream {
public:
  explicit TextOutputStream(std::FILE* file);
  ~TextOutputStream();
  TextOutputStream(const TextOutputStream&) = delete;
  TextOutputStream& operator=(const TextOutputStream&) = delete;

  void Write(const std::string& bytes);
  void WriteLine(const std::string& line); // ends with LF
  bool WriteFailed() const { return writeFailed_; }
  bool Flush();
  bool Close();

private:
  std::FILE* file_;
  bool writeFailed_ = false;
};
