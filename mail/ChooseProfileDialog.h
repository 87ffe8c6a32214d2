// "Choose Profile": the profiles that could be opened, one to log on to.
#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace vantrel::mail {

class ChooseProfileDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kProfileListId = 1186;

    // `selected` is the row selected at first (-1 for none).
    ChooseProfileDialog(const QStringList& profiles, int selected, QWidget* parent = nullptr);

    QListWidget* profileList() const { return m_list; }
    // The selected row, -1 when none is.
    int selectedRow() const;

private:
    QListWidget* m_list;
};

} // namespace vantrel::mail
