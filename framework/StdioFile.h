#pragma once
// Writing, flushing and closing the C stream an output stream owns; every
// failure is remembered in the stream's own flag.

#include <cstdio>
#include <string>

void WriteBytes(std::FILE* file, const std::string& bytes, bool& failed);
// Flushes to disk; false when anything failed.
bool FlushToDisk(std::FILE* file, bool& failed);
// Closes file (if still open) and forgets it; false when anything failed.
bool CloseFile(std::FILE*& file, bool& failed);
