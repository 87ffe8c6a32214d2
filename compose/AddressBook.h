// The session's address book: opened once per logon, the containers the dialogs may show
// (those that hold recipients, can be changed, and belong to an opened store), the search of
// one container for a typed name, and name resolution.
#pragma once

#include "compose/AdrList.h"
#include "vntmapi/MapiInterfaces.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <vector>

namespace vantrel::compose {

class OutgoingState;

class AddressBook
{
public:
    explicit AddressBook(OutgoingState& state);
    AddressBook(const AddressBook&) = delete;
    AddressBook& operator=(const AddressBook&) = delete;

    // Opens the book unless it is open, then restricts it (a failed restriction only warns).
    // Every failure has been told to the user.
    bool Open();
    bool isOpen() const { return static_cast<bool>(m_book); }
    IAddrBook* get() const { return m_book.get(); }
    // At logoff.
    void close();

    // Rebuilds the containers restriction (before each dialog); false when the containers
    // could not be read.
    bool buildRestriction();
    // The "or" of the kept containers' entry identifiers; nullptr before buildRestriction.
    LPSRestriction restriction() { return m_containerIds.isEmpty() ? nullptr : &m_or; }
    const QList<QByteArray>& containerIds() const { return m_containerIds; }

    // Every entry of the restricted containers that the ambiguous-name search finds for
    // `name`, appended to `candidates` (recipient columns, names when present). False when
    // memory ran out.
    bool findCandidates(const QString& name, AdrList& candidates);

    // ResolveName on the book, with the view's window when `window`.
    HRESULT ResolveNames(bool window, ULONG flags, LPADRLIST list);

    // The view as the platform's window parameter.
    ULONG_PTR windowParam() const;

private:
    bool keepContainer(const SRow& row, bool firstRow);
    bool inOpenedStore(const QByteArray& storeId) const;

    OutgoingState& m_state;
    MapiPtr<IAddrBook> m_book;
    QList<QByteArray> m_containerIds;
    std::vector<SPropValue> m_values;
    std::vector<SRestriction> m_terms;
    SRestriction m_or{};
};

} // namespace vantrel::compose
