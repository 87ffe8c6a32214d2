// Ambiguous name resolution (PR_ANR): which entries a typed name can mean. A name matches an
// entry when every word of it begins a word of the entry's display name, given name or
// surname, or the whole name begins its e-mail address; case and accents of Latin letters are
// ignored.
#pragma once

#include "PackedRows.h"

#include <string>
#include <vector>

namespace vntmapi {

// A text folded for comparison: case-folded, decomposed with combining marks dropped.
std::string anrFold(const std::string& text);

// The folded words a name is typed as ("Ann-Marie Lee, Dr." gives ann, marie, lee, dr).
std::vector<std::string> anrWords(const std::string& text);

// What an entry can be found by, folded once.
struct AnrKeys
{
    std::vector<std::string> words; // of the display, given and surname
    std::string address;            // the e-mail address
    std::string displayName;        // the whole display name
};

AnrKeys anrKeys(const std::string& displayName, const std::string& givenName,
                const std::string& surname, const std::string& address);

// `typed` as anrWords and anrFold give it.
bool anrMatches(const std::vector<std::string>& typedWords, const std::string& typedFolded,
                const AnrKeys& keys);

// A row of a table restricted on PR_ANR with `typed`.
bool anrRowMatches(const std::string& typed, const RowView& row);

} // namespace vntmapi
