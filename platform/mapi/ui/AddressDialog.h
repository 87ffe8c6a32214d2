// The address book dialog behind IAddrBook::Address: a list of the entries of one container
// (chosen among those the caller allows), type-ahead search, and the caller's destination
// wells (To, Cc, Bcc...). Select-only: entries are chosen, never created or edited here.
#pragma once

#include "AddressDialogCall.h"

#include <QDialog>
#include <QList>
#include <QVector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QTreeWidget;

namespace vnt::mapiui {

// One property value copied out of the library's memory.
struct HeldProp
{
    ULONG tag = PR_NULL;
    qint64 number = 0;
    QByteArray data; // strings (UTF-8, no terminator) and binaries
};
using HeldRow = QVector<HeldProp>;

class AddressDialog : public QDialog
{
    Q_OBJECT

public:
    AddressDialog(VntAddressDialogCall* call, QWidget* parent);

    // The wells' recipients as an address list the library frees; null without wells.
    HRESULT takeChosen(LPADRLIST* list) const;

private:
    void loadContainers();
    void showContainer(int index);
    void seek(const QString& typed);
    void addSelectedTo(int well);
    void addRow(int well, HeldRow row);

    VntAddressDialogCall* m_call;
    QComboBox* m_containers = nullptr;
    QLineEdit* m_search = nullptr;
    QTreeWidget* m_entries = nullptr;
    QList<QListWidget*> m_wells;
    QList<QByteArray> m_containerIds;
    QVector<HeldRow> m_rows;            // of the container shown
    QVector<QVector<HeldRow>> m_chosen; // per well
};

} // namespace vnt::mapiui
