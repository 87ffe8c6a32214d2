#include "oledb/provider/Connection.h"

#include <QString>
#include <cstring>
#include <sqlite3.h>
#include <string>
#include <vector>

// LIKE that ignores case for every letter, as the desktop database engines do, not only
// for A to Z. Text that is all ASCII on both sides is matched byte by byte; anything else
// is case folded and matched by code point.

namespace vnt::oledb {

namespace {

constexpr char32_t kAnyOne = 0xFFFFFFFE;  // '_'
constexpr char32_t kAnyMany = 0xFFFFFFFF; // '%'
constexpr int kMaxPatternBytes = 50000;

// Classic wildcard match: on a mismatch, let the last '%' swallow one more element.
template<typename Element>
bool wildcardMatch(const char32_t* pattern, size_t patternSize, const Element* text,
                   size_t textSize)
{
    size_t p = 0;
    size_t t = 0;
    size_t starP = SIZE_MAX;
    size_t starT = 0;
    while (t < textSize) {
        if (p < patternSize && pattern[p] == kAnyMany) {
            starP = p++;
            starT = t;
        } else if (p < patternSize && (pattern[p] == kAnyOne || pattern[p] == char32_t(text[t]))) {
            ++p;
            ++t;
        } else if (starP != SIZE_MAX) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < patternSize && pattern[p] == kAnyMany)
        ++p;
    return p == patternSize;
}

std::u32string foldedCodePoints(const char* utf8, int size)
{
    const QList<uint> ucs4 = QString::fromUtf8(utf8, size).toCaseFolded().toUcs4();
    return std::u32string(ucs4.begin(), ucs4.end());
}

struct CompiledPattern
{
    QByteArray source;
    char32_t escape = 0;
    std::u32string tokens;
    bool ascii = true;
    // "%literal%" with an ASCII literal: a plain substring search.
    bool containsLiteral = false;
    std::string literal;
    std::string scratch;

    void compile(const char* utf8, int size)
    {
        const std::u32string folded = foldedCodePoints(utf8, size);
        bool escaped = false;
        for (char32_t c : folded) {
            if (escaped) {
                tokens += c;
                escaped = false;
            } else if (escape != 0 && c == escape) {
                escaped = true;
            } else {
                tokens += c == U'%' ? kAnyMany : c == U'_' ? kAnyOne : c;
            }
        }
        for (char32_t c : tokens)
            ascii = ascii && (c < 0x80 || c == kAnyMany || c == kAnyOne);
        findLiteral();
    }

    void findLiteral()
    {
        if (!ascii || tokens.size() < 2 || tokens.front() != kAnyMany || tokens.back() != kAnyMany)
            return;
        for (size_t i = 1; i + 1 < tokens.size(); ++i) {
            if (tokens[i] == kAnyMany || tokens[i] == kAnyOne)
                return;
            literal += char(tokens[i]);
        }
        containsLiteral = true;
    }

    // Folds ASCII text into the scratch buffer; false when the text is not all ASCII.
    bool foldAscii(const unsigned char* text, int size)
    {
        scratch.resize(size_t(size));
        for (int i = 0; i < size; ++i) {
            const unsigned char c = text[i];
            if (c >= 0x80)
                return false;
            scratch[size_t(i)] = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
        }
        return true;
    }

    bool matches(const unsigned char* text, int size)
    {
        if (ascii && foldAscii(text, size)) {
            if (containsLiteral)
                return literal.empty() ||
                       memmem(scratch.data(), scratch.size(), literal.data(), literal.size());
            return wildcardMatch(tokens.data(), tokens.size(),
                                 reinterpret_cast<const unsigned char*>(scratch.data()),
                                 scratch.size());
        }
        const std::u32string folded = foldedCodePoints(reinterpret_cast<const char*>(text), size);
        return wildcardMatch(tokens.data(), tokens.size(), folded.data(), folded.size());
    }
};

void deletePattern(void* pattern)
{
    delete static_cast<CompiledPattern*>(pattern);
}

bool readEscape(sqlite3_context* context, sqlite3_value* value, char32_t* escape)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const std::u32string codePoints =
        text ? foldedCodePoints(text, sqlite3_value_bytes(value)) : std::u32string();
    if (codePoints.size() != 1) {
        sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
        return false;
    }
    *escape = codePoints.front();
    return true;
}

CompiledPattern* patternFor(sqlite3_context* context, sqlite3_value* value, char32_t escape)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const int size = sqlite3_value_bytes(value);
    auto* cached = static_cast<CompiledPattern*>(sqlite3_get_auxdata(context, 0));
    if (cached && cached->escape == escape && cached->source.size() == size &&
        std::memcmp(cached->source.constData(), text, size_t(size)) == 0)
        return cached;
    auto* pattern = new CompiledPattern;
    pattern->source = QByteArray(text, size);
    pattern->escape = escape;
    pattern->compile(text, size);
    sqlite3_set_auxdata(context, 0, pattern, deletePattern);
    // SQLite may have destroyed it already when it cannot keep it for the statement.
    return static_cast<CompiledPattern*>(sqlite3_get_auxdata(context, 0));
}

void likeFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(context);
    if (sqlite3_value_bytes(argv[0]) > kMaxPatternBytes)
        return sqlite3_result_error(context, "LIKE pattern too complex", -1);
    char32_t escape = 0;
    if (argc == 3 && !readEscape(context, argv[2], &escape))
        return;
    if (sqlite3_value_type(argv[1]) == SQLITE_BLOB)
        return sqlite3_result_int(context, 0);
    const unsigned char* text = sqlite3_value_text(argv[1]);
    const int size = sqlite3_value_bytes(argv[1]);
    CompiledPattern* pattern = patternFor(context, argv[0], escape);
    if (pattern)
        return sqlite3_result_int(context, pattern->matches(text, size));
    CompiledPattern once;
    once.escape = escape;
    once.compile(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                 sqlite3_value_bytes(argv[0]));
    sqlite3_result_int(context, once.matches(text, size));
}

} // namespace

int registerLike(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    int rc = sqlite3_create_function(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr);
    return rc;
}

} // namespace vnt::oledb
