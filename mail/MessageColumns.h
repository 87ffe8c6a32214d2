// The 32 columns the message list can show, each in a mail folder form and a contacts folder
// form, and the column set of one open folder built from its column mask.
#pragma once

#include "core/SettingDefinitions.h"
#include "vntmapi/MapiDefs.h"

#include <QList>
#include <QString>
#include <array>

class CSupportDoc;

namespace vantrel::mail {

// One form of a column: header text, the property it shows, whether it shows an image instead
// of text (and its first image), its width in pixels, and for the contacts properties that
// have no fixed tag the PSETID_Address number the tag is looked up by (0 for the others).
struct ColumnVariant
{
    QString name;
    ULONG tag = PR_NULL;
    bool icon = false;
    int baseImage = 0;
    int width = 0;
    LONG namedId = 0;
};

struct ListColumn
{
    ColumnVariant mail;
    ColumnVariant contacts;
};

// The PSETID_Address numbers asked for when a contacts folder opens, in the order asked, and
// the column each one's tag goes to (-1: asked for, shown in no column).
struct ContactName
{
    LONG id;
    int column;
};
inline constexpr std::array<ContactName, 8> kContactNames = {{
    {0x8029, -1},
    {0x8005, 3},
    {0x8083, 6},
    {0x8093, 8},
    {0x80A3, 10},
    {0x8080, 5},
    {0x8090, 7},
    {0x80A0, 9},
}};

// Columns 5, 7 and 9 of a contacts folder need the contacts' named e-mail properties.
inline constexpr ColumnMask kContactNameColumns = 0x2A0;
// Columns 0 and 1 (instance key and entry identifier) are requested in every set.
inline constexpr ColumnMask kKeyColumns = 0x3;

class ColumnTable
{
public:
    ColumnTable();

    // Starts from the fixed table and takes the saved widths of both forms.
    void build(const CSupportDoc& doc);
    const ColumnVariant& variant(int column, bool contacts) const;
    // The tag found for a named contacts property (PR_NULL when it could not be found).
    void setContactTag(int column, ULONG tag);
    void setWidth(int column, bool contacts, int width);

private:
    std::array<ListColumn, kColumnCount> m_columns;
};

// The fixed table, with the default widths.
const std::array<ListColumn, kColumnCount>& DefaultColumns();

struct ColumnSetEntry
{
    int column = 0; // number in the table
    ColumnVariant variant;
};

// The columns requested from one folder's contents table, in column order. Entries 0 and 1
// are the instance key and the entry identifier; the list shows the entries from 2 on.
class ColumnSet
{
public:
    enum class Result { Ok, NoColumns, NoMemory };

    // Fails with NoColumns when `mask` has no bit set.
    static Result build(const ColumnTable& table, ColumnMask mask, bool contacts, ColumnSet* out);

    bool contacts() const { return m_contacts; }
    const QList<ULONG>& tags() const { return m_tags; }
    const QList<ColumnSetEntry>& entries() const { return m_entries; }
    int shownCount() const { return static_cast<int>(m_entries.size()) - 2; }
    const ColumnSetEntry& shown(int index) const { return m_entries[index + 2]; }
    ColumnSetEntry& shown(int index) { return m_entries[index + 2]; }
    void clear();

private:
    bool m_contacts = false;
    QList<ULONG> m_tags;
    QList<ColumnSetEntry> m_entries;
};

} // namespace vantrel::mail
