#include "RtfKeywords.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vnt::rtf::detail {

namespace {

struct Entry
{
    std::string_view name;
    Keyword keyword;
    char16_t character = 0;
};

// Destinations skipped whole even without \*: they hold no document text.
constexpr Keyword kSkip = Keyword::SkipDestination;

constexpr std::array kEntries = std::to_array<Entry>({
    {"annotation", kSkip},
    {"b", Keyword::Bold},
    {"blue", Keyword::Blue},
    {"bullet", Keyword::Character, 0x2022},
    {"cb", Keyword::Background},
    {"cell", Keyword::Character, '\t'},
    {"cf", Keyword::Foreground},
    {"chcbpat", Keyword::Background},
    {"colortbl", Keyword::ColorTable},
    {"deff", Keyword::DefaultFont},
    {"do", kSkip},
    {"emdash", Keyword::Character, 0x2014},
    {"emspace", Keyword::Character, 0x2003},
    {"endash", Keyword::Character, 0x2013},
    {"enspace", Keyword::Character, 0x2002},
    {"f", Keyword::Font},
    {"fcharset", Keyword::FontCharset},
    {"fi", Keyword::FirstIndent},
    {"filetbl", kSkip},
    {"fldinst", kSkip},
    {"fonttbl", Keyword::FontTable},
    {"footer", kSkip},
    {"footerf", kSkip},
    {"footerl", kSkip},
    {"footerr", kSkip},
    {"footnote", kSkip},
    {"fs", Keyword::FontSize},
    {"green", Keyword::Green},
    {"header", kSkip},
    {"headerf", kSkip},
    {"headerl", kSkip},
    {"headerr", kSkip},
    {"highlight", Keyword::Background},
    {"i", Keyword::Italic},
    {"info", kSkip},
    {"ldblquote", Keyword::Character, 0x201C},
    {"li", Keyword::LeftIndent},
    {"lin", Keyword::LeftIndent},
    {"line", Keyword::Character, 0x2028},
    {"listoverridetable", kSkip},
    {"listtable", kSkip},
    {"listtext", Keyword::ListMarker},
    {"lquote", Keyword::Character, 0x2018},
    {"nestcell", Keyword::Character, '\t'},
    {"nestrow", Keyword::Par},
    {"nonshppict", kSkip},
    {"object", kSkip},
    {"page", Keyword::Par},
    {"par", Keyword::Par},
    {"pard", Keyword::Pard},
    {"pict", kSkip},
    {"plain", Keyword::Plain},
    {"pn", Keyword::Pn},
    {"pndec", Keyword::PnDecimal},
    {"pnlcltr", Keyword::PnLowerLetter},
    {"pnlcrm", Keyword::PnLowerRoman},
    {"pnlvl", Keyword::PnLevel},
    {"pnlvlblt", Keyword::PnBullet},
    {"pnlvlbody", Keyword::PnBody},
    {"pntext", Keyword::ListMarker},
    {"pntxta", Keyword::PnTextAfter},
    {"pntxtb", Keyword::PnTextBefore},
    {"pnucltr", Keyword::PnUpperLetter},
    {"pnucrm", Keyword::PnUpperRoman},
    {"qc", Keyword::AlignCenter},
    {"qd", Keyword::AlignJustify},
    {"qj", Keyword::AlignJustify},
    {"ql", Keyword::AlignLeft},
    {"qmspace", Keyword::Character, 0x2005},
    {"qr", Keyword::AlignRight},
    {"rdblquote", Keyword::Character, 0x201D},
    {"red", Keyword::Red},
    {"revtbl", kSkip},
    {"ri", Keyword::RightIndent},
    {"rin", Keyword::RightIndent},
    {"row", Keyword::Par},
    {"rquote", Keyword::Character, 0x2019},
    {"rxe", kSkip},
    {"sa", Keyword::SpaceAfter},
    {"sb", Keyword::SpaceBefore},
    {"shp", kSkip},
    {"strike", Keyword::Strike},
    {"striked", Keyword::Strike},
    {"stylesheet", kSkip},
    {"tab", Keyword::Character, '\t'},
    {"tc", kSkip},
    {"txe", kSkip},
    {"u", Keyword::U},
    {"uc", Keyword::Uc},
    {"ul", Keyword::Underline},
    {"uld", Keyword::Underline},
    {"uldash", Keyword::Underline},
    {"uldashd", Keyword::Underline},
    {"uldashdd", Keyword::Underline},
    {"uldb", Keyword::Underline},
    {"ulhwave", Keyword::Underline},
    {"ulldash", Keyword::Underline},
    {"ulnone", Keyword::UnderlineNone},
    {"ulth", Keyword::Underline},
    {"ulthd", Keyword::Underline},
    {"ulthdash", Keyword::Underline},
    {"ulthdashd", Keyword::Underline},
    {"ulthdashdd", Keyword::Underline},
    {"ulthldash", Keyword::Underline},
    {"ululdbwave", Keyword::Underline},
    {"ulw", Keyword::Underline},
    {"ulwave", Keyword::Underline},
    {"xe", kSkip},
    {"zwj", Keyword::Character, 0x200D},
    {"zwnj", Keyword::Character, 0x200C},
});

constexpr bool byName(const Entry& a, const Entry& b)
{
    return a.name < b.name;
}

static_assert(std::is_sorted(kEntries.begin(), kEntries.end(), byName),
              "keywords must stay sorted for the binary search");

// Control words are ASCII letters; none of ours is longer than this.
constexpr qsizetype kLongestName = 20;

} // namespace

KeywordInfo lookupKeyword(QStringView name)
{
    if (name.isEmpty() || name.size() > kLongestName)
        return {};
    char ascii[kLongestName];
    for (qsizetype i = 0; i < name.size(); ++i)
        ascii[i] = static_cast<char>(name[i].unicode());
    const Entry key{std::string_view(ascii, static_cast<size_t>(name.size())), Keyword::Unknown};
    const auto it = std::lower_bound(kEntries.begin(), kEntries.end(), key, byName);
    if (it == kEntries.end() || it->name != key.name)
        return {};
    return {it->keyword, it->character};
}

} // namespace vnt::rtf::detail
