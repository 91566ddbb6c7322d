#pragma once
// Names as a server sees them that ignores letter case or Unicode
// normalisation, or drops trailing dots and blanks.

#include <string>

// The text with each run of UTF-8 canonically composed (NFC) and Unicode
// full case folding applied to each character ("Ärger", "ÄRGER" and "ärger"
// with a combining diaeresis all give "ärger"; "Straße" and "STRASSE" give
// "strasse", "ﬁle" gives "file"), and each "/"-separated name's trailing
// dots and blanks dropped ("notes." gives "notes"). Bytes that are not
// UTF-8 become U+FFFD, a run of them one, as a server that keeps names in
// UTF-8 stores them: folding can only make more names one.
std::string CaseAndFormFolded(const std::string& bytes);
