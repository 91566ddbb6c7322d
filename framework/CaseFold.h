#pragma once
// Names as a server sees them that ignores letter case, Unicode
// normalisation, or both.

#include <string>

// The text with each run of UTF-8 canonically composed (NFC) and Unicode
// simple case folding applied to each character ("Ärger", "ärger", "ÄRGER"
// and "ärger" with a combining diaeresis all give "ärger"). Bytes that are
// not UTF-8 stay as they are, so they only ever match themselves.
std::string CaseAndFormFolded(const std::string& bytes);
