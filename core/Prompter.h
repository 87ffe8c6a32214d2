#pragma once

#include <QString>

class QDialog;
class QWidget;

// Every modal interaction with the user goes through the installed prompter, so
// that tests can answer the program's questions with scripted replies.
class Prompter
{
public:
    virtual ~Prompter() = default;

    // A message box with the exclamation icon and an OK button.
    virtual void warning(QWidget* owner, const QString& title, const QString& text) = 0;
    // A Yes/No box with the exclamation icon; true for Yes.
    virtual bool askYesNo(QWidget* owner, const QString& title, const QString& text) = 0;
    // A plain message box, for the few notices given before the string table is usable.
    virtual void plainMessage(const QString& text) = 0;
    // Runs a modal dialog; returns its result (QDialog::Accepted or Rejected).
    virtual int runDialog(QDialog& dialog) = 0;

    // File and folder choosers; an empty result means the user cancelled.
    struct FileRequest
    {
        QString caption;
        QString directory;
        QString filter;        // "Text Files (*.txt);;All Files (*)"
        QString defaultSuffix; // added to a name typed without one
    };
    virtual QString openFileName(QWidget* owner, const FileRequest& request) = 0;
    // Asks before replacing an existing file.
    virtual QString saveFileName(QWidget* owner, const FileRequest& request) = 0;
    virtual QString existingDirectory(QWidget* owner, const QString& caption,
                                      const QString& directory) = 0;

    // The prompter in use (the desktop one unless a test installed another).
    static Prompter& current();
    // Installs `prompter` (not owned; nullptr restores the desktop one) and returns
    // the one it replaces.
    static Prompter* install(Prompter* prompter);
};

// Shows real message boxes.
class DesktopPrompter : public Prompter
{
public:
    void warning(QWidget* owner, const QString& title, const QString& text) override;
    bool askYesNo(QWidget* owner, const QString& title, const QString& text) override;
    void plainMessage(const QString& text) override;
    int runDialog(QDialog& dialog) override;
    QString openFileName(QWidget* owner, const FileRequest& request) override;
    QString saveFileName(QWidget* owner, const FileRequest& request) override;
    QString existingDirectory(QWidget* owner, const QString& caption,
                              const QString& directory) override;
};
