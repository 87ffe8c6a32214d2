// Choosing a folder of the folder list for Post, Save, Move, Copy and delete-to-folder: the
// dialog (folders that cannot take messages are shown but cannot be chosen) and opening the
// folder chosen.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class QListWidget;

namespace vantrel::compose {

class OutgoingState;

enum class FolderPurpose { Post = 0, Save = 1, Move = 2, Copy = 3, Delete = 4 };

// Whether a folder can take messages: 0 yes, 1 an IMAP folder, 2 a contacts folder.
enum FolderUsability { FolderUsable = 0, FolderImap = 1, FolderContacts = 2 };

class CFolderChooserDlg : public QDialog
{
    Q_OBJECT

public:
    CFolderChooserDlg(const QStringList& names, const QList<int>& usability, FolderPurpose purpose,
                      int selectedIndex, QWidget* parent = nullptr);

    int selectedIndex() const { return m_selected; }

private:
    void onRowChanged(int row);

    QListWidget* m_list = nullptr;
    QList<int> m_usability;
    int m_selected = 0;
};

// Results of ChooseFolder.
enum ChooseResult { ChooseFailed = 0, ChooseChosen = 1, ChooseCancelled = 2 };

// Shows the chooser over the folder list. On ChooseChosen `sequence` (when given) is the
// chosen folder record's sequence number and, unless `noOpen`, the folder is open as the
// state's chosen folder.
int ChooseFolder(OutgoingState& state, bool noOpen, FolderPurpose purpose, int* sequence = nullptr);

} // namespace vantrel::compose
