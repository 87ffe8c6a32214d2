// Address lists of the platform (the pending recipient list and the candidate lists of name
// checking) and the ten recipient values this program gives each entry.
#pragma once

#include "vntmapi/MapiLoader.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace vantrel::compose {

// The recipient values of one entry; an absent value is stored as PR_NULL.
struct RecipientRow
{
    QByteArray entryId;
    QString displayName;
    QString address;
    QString addressType;
    std::optional<ULONG> recipientType;
    std::optional<ULONG> objectType;
    std::optional<bool> sendRichInfo;
    std::optional<ULONG> displayType;
    QString givenName;
    QString surname;

    // Reads the values a row carries (strings only when not empty).
    static RecipientRow from(const SPropValue* values, ULONG count);
};

inline constexpr int kRecipientValueCount = 10;

// An address list owned with the platform's allocator and freed with FreePadrlist.
class AdrList
{
public:
    explicit AdrList(const vntmapi::EntryPoints& api)
        : m_api(&api)
    {}
    AdrList(const AdrList&) = delete;
    AdrList& operator=(const AdrList&) = delete;
    ~AdrList() { reset(); }

    void reset();
    LPADRLIST* put()
    {
        reset();
        return &m_list;
    }
    LPADRLIST get() const { return m_list; }
    // For calls that replace the list in place (the address dialog frees the one given).
    LPADRLIST* inPlace() { return &m_list; }
    explicit operator bool() const { return m_list != nullptr; }
    ULONG count() const { return m_list ? m_list->cEntries : 0; }
    const ADRENTRY& operator[](ULONG i) const { return m_list->aEntries[i]; }
    ADRENTRY& operator[](ULONG i) { return m_list->aEntries[i]; }
    RecipientRow row(ULONG i) const;

    // Copies the list into a new one that is one entry longer, the new entry holding the ten
    // values of `row`; a list is created when there is none. False when memory ran out (the
    // list is then as it was).
    bool append(const RecipientRow& row);
    // Drops entry `i` and its values.
    void remove(ULONG i);

private:
    const vntmapi::EntryPoints* m_api;
    LPADRLIST m_list = nullptr;
};

// The value of `tag` among an entry's values, nullptr when absent or an error value.
const SPropValue* EntryValue(const ADRENTRY& entry, ULONG tag);
QString EntryText(const ADRENTRY& entry, ULONG tag);

} // namespace vantrel::compose
