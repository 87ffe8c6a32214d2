#include "Anr.h"

#include <algorithm>
#include <glib.h>

namespace vntmapi {

std::string anrFold(const std::string& text)
{
    gchar* decomposed =
        g_utf8_normalize(text.c_str(), static_cast<gssize>(text.size()), G_NORMALIZE_NFD);
    if (!decomposed) {
        return text; // not UTF-8: compared as it is
    }
    std::string bare;
    for (const gchar* p = decomposed; *p; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        if (g_unichar_type(c) != G_UNICODE_NON_SPACING_MARK) {
            bare.append(p, g_utf8_next_char(p) - p);
        }
    }
    g_free(decomposed);
    gchar* folded = g_utf8_casefold(bare.c_str(), static_cast<gssize>(bare.size()));
    std::string out = folded;
    g_free(folded);
    return out;
}

std::vector<std::string> anrWords(const std::string& text)
{
    std::vector<std::string> words;
    const std::string folded = anrFold(text);
    std::string word;
    for (const gchar* p = folded.c_str(); *p; p = g_utf8_next_char(p)) {
        const gunichar c = g_utf8_get_char(p);
        if (g_unichar_isalnum(c) || c == '@' || c == '.' || c == '_' || c == '\'') {
            word.append(p, g_utf8_next_char(p) - p);
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty()) {
        words.push_back(std::move(word));
    }
    return words;
}

AnrKeys anrKeys(const std::string& displayName, const std::string& givenName,
                const std::string& surname, const std::string& address)
{
    AnrKeys keys;
    for (const std::string* part : {&displayName, &givenName, &surname}) {
        for (std::string& word : anrWords(*part)) {
            keys.words.push_back(std::move(word));
        }
    }
    std::sort(keys.words.begin(), keys.words.end());
    keys.words.erase(std::unique(keys.words.begin(), keys.words.end()), keys.words.end());
    keys.address = anrFold(address);
    keys.displayName = anrFold(displayName);
    return keys;
}

bool anrMatches(const std::vector<std::string>& typedWords, const std::string& typedFolded,
                const AnrKeys& keys)
{
    if (typedFolded.empty()) {
        return false;
    }
    if (!keys.address.empty() && keys.address.compare(0, typedFolded.size(), typedFolded) == 0) {
        return true;
    }
    if (typedWords.empty()) {
        return false;
    }
    return std::all_of(typedWords.begin(), typedWords.end(), [&keys](const std::string& typed) {
        // The words are sorted: the first one not below `typed` is the only one it can begin.
        const auto it = std::lower_bound(keys.words.begin(), keys.words.end(), typed);
        return it != keys.words.end() && it->compare(0, typed.size(), typed) == 0;
    });
}

bool anrRowMatches(const std::string& typed, const RowView& row)
{
    const auto text = [&row](ULONG tag) {
        const std::optional<PropRef> p = row.find(tag);
        return p ? std::string(p->data) : std::string();
    };
    const AnrKeys keys = anrKeys(text(PR_DISPLAY_NAME), text(PR_GIVEN_NAME), text(PR_SURNAME),
                                 text(PR_EMAIL_ADDRESS));
    return anrMatches(anrWords(typed), anrFold(typed), keys);
}

} // namespace vntmapi
