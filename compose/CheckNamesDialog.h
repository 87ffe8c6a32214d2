// "Check names": the address book entries a typed name may mean, to choose one of or to
// add the person as a new contact instead.
#pragma once

#include <QDialog>

class QTreeWidget;

namespace vantrel::compose {

class AdrList;

class CheckNamesDialog : public QDialog
{
    Q_OBJECT

public:
    // Results besides Rejected (Cancel).
    enum Result { UseSelected = QDialog::Accepted, NewContact = 2 };

    CheckNamesDialog(const AdrList& candidates, QWidget* parent = nullptr);

    // The row chosen, -1 when none.
    int selectedIndex() const;

private:
    void useSelected();

    QTreeWidget* m_list = nullptr;
};

} // namespace vantrel::compose
