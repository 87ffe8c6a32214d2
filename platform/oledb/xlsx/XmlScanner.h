#pragma once

#include <QString>
#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vnt::oledb::xlsx {

// Whether `text` is `word`, compared without a call (names are short and checked often).
template<size_t N>
bool isWord(std::string_view text, const char (&word)[N])
{
    return text.size() == N - 1 && std::memcmp(text.data(), word, N - 1) == 0;
}

// A pull reader of XML in UTF-8 for the large parts of a workbook (sheets, shared strings):
// names, attribute values and texts are views into the document, so that reading a cell
// allocates nothing. It checks what a well-formed document needs (matching tags, quoted
// attributes, known entities, one root element) and refuses document type declarations.
class XmlScanner
{
public:
    enum class Token { StartElement, EndElement, Text, EndOfDocument, Invalid };

    // Where the rest of a document still being written comes from: it waits until the
    // document holds more than `size` bytes or is complete (then setting `complete`) and
    // returns the document so far, which starts where it started.
    using MoreInput = std::function<std::string_view(size_t size, bool* complete)>;

    explicit XmlScanner(std::string_view document, MoreInput more = {});

    Token next();
    // The local name (without prefix) of the element just started or ended.
    std::string_view name() const { return m_localName; }
    // The open elements: 1 inside the root element.
    int depth() const { return m_depth; }
    // The raw value of the attribute with the qualified name `name` of the element just
    // started; false when it has none.
    template<size_t N>
    bool attribute(const char (&name)[N], std::string_view* value) const
    {
        for (const Attribute& attribute : m_attributes) {
            if (isWord(attribute.name, name)) {
                *value = attribute.value;
                return true;
            }
        }
        return false;
    }
    // The value of the attribute with its references replaced: a view into the document
    // when it has none, else into `scratch`. False when the element has no such attribute.
    template<size_t N>
    bool attributeText(const char (&name)[N], std::string_view* value, std::string* scratch)
    {
        return attribute(name, value) && decodeAttribute(value, scratch);
    }
    // Appends the text just read, references replaced and line ends normalised.
    bool appendText(std::string* out);
    // The text up to the end of the element just started: a view into the document when
    // it is one plain run, otherwise decoded into `scratch`. With `nested` the texts of
    // child elements count too; without, a child element is an error.
    bool elementText(std::string_view* text, std::string* scratch, bool nested);
    // Skips to the end of the element just started.
    bool skipElement();

    bool hasError() const { return m_token == Token::Invalid; }
    QString errorString() const { return m_error; }

private:
    struct Attribute
    {
        std::string_view name;
        std::string_view value;
    };
    struct Element
    {
        std::string_view name;
        std::string_view local;
    };

    Token fail(const QString& error);
    void grow(size_t extra);
    Token readMarkup();
    Token readStartTag();
    Token readEndTag();
    Token readText();
    bool skipPast(std::string_view terminator);
    const char* readName(const char* p, std::string_view* name, std::string_view* local) const;
    const char* skipSpace(const char* p) const;
    bool decode(std::string_view raw, std::string* out, bool references);
    bool decodeAttribute(std::string_view* value, std::string* scratch);

    const char* m_begin = nullptr;
    const char* m_pos = nullptr;
    const char* m_end = nullptr;
    Token m_token = Token::EndOfDocument;
    std::string_view m_localName;
    std::string_view m_text;
    bool m_plainText = true; // the text is as in the document
    bool m_cdata = false;
    bool m_pendingEnd = false;
    bool m_rootSeen = false;
    // Deeper nesting than any workbook has is refused, so that hostile input stays small.
    std::array<Element, 256> m_open;
    int m_depth = 0;
    std::vector<Attribute> m_attributes;
    QString m_error;
    MoreInput m_more;
    bool m_complete = true;
};

} // namespace vnt::oledb::xlsx
