#include "StdioFile.h"

#include <unistd.h>

void WriteBytes(std::FILE* file, const std::string& bytes, bool& failed)
{
  if (!file) {
    failed = true;
    return;
  }
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
    failed = true;
}

bool FlushToDisk(std::FILE* file, bool& failed)
{
  if (!file)
    return false;
  if (std::fflush(file) != 0 || fsync(fileno(file)) != 0)
    failed = true;
  return !failed;
}

bool CloseFile(std::FILE*& file, bool& failed)
{
  if (!file)
    return !failed;
  if (std::fclose(file) != 0)
    failed = true;
  file = nullptr;
  return !failed;
}
