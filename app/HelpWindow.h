#pragma once

#include <QDialog>

class QTextBrowser;

// The help viewer: the program's HTML help pages with back, forward and contents.
class HelpWindow : public QDialog
{
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // `page` is relative to the help folder and may carry an "#anchor".
    void showPage(const QString& page);
    QString currentPage() const;

private:
    QTextBrowser* m_browser = nullptr;
};
