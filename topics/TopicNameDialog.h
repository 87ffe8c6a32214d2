#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the name of a new topic folder, or a new name for a topic file or folder.
class TopicNameDialog : public QDialog
{
    Q_OBJECT

public:
    enum Mode { NewFolder, RenameFile, RenameFolder };
    static constexpr int kMaxNameLength = 255;

    explicit TopicNameDialog(Mode mode, const QString& current = {}, QWidget* parent = nullptr);

    Mode mode() const { return m_mode; }
    QString name() const;
    void setName(const QString& name);
    // New folder: the second button asks for a random name.
    bool randomRequested() const { return m_randomRequested; }
    QPushButton* secondButton() const { return m_second; }

private:
    Mode m_mode;
    QLineEdit* m_edit;
    QPushButton* m_second;
    bool m_randomRequested = false;
};
