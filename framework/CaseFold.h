#pragma once
// Names as a server sees them that ignores letter case, Unicode
// normalisation, or both.

#include <string>

// The text with each run of UTF-8 canonically composed (NFC) and Unicode
// simple case folding applied to each character ("Ärger", "ärger", "ÄRGER"
// and "ärger" with a combining diaeresis all give "ärger"). Bytes that are
// not UTF-8 become U+FFFD, a run of them one, as a server that keeps names
// in UTF-8 stores them: folding can only make more names one.
std::string CaseAndFormFolded(const std::string& bytes);
