#pragma once
// Names a server may store or read as another name, and paths too long for
// one command line: neither side's walk takes them, so no command names
// them.

#include <cstddef>
#include <string>

// Why the entry name, at a remote path of remotePathLength bytes, is left
// alone, in words that follow "it is"; empty when it can be sent. Servers
// store a control character or a trailing blank otherwise ("notes " as
// "notes_"), drop a trailing dot or blank (on Windows: "notes." is
// "notes"), read 0xFF as a Telnet command, and refuse or drop a command
// line beyond 2,048 bytes (pyftpdlib) or about 4,100 (others).
std::string WhyNameLeftAlone(const std::string& name, std::size_t remotePathLength);

// The text with control characters and 0xFF written as "\xNN", for one log
// line.
std::string ShownName(const std::string& text);
