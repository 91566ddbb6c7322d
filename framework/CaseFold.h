#pragma once
// Letter case as a server that ignores it sees names.

#include <string>

// The text with Unicode simple case folding applied to each character of
// its UTF-8 ("Ärger", "ärger" and "ÄRGER" all give "ärger"). Bytes that are
// not UTF-8 stay as they are, so they only ever match themselves.
std::string CaseFolded(const std::string& bytes);
