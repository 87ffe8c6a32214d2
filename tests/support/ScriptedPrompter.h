#pragma once

#include "core/Prompter.h"

#include <QList>
#include <QString>
#include <functional>

class QWidget;

// Answers the program's questions from a script and records every notice, so tests
// can check what the user would have seen. Installed for its lifetime.
class ScriptedPrompter : public Prompter
{
public:
    struct Notice
    {
        enum Kind { Warning, Question, Plain, Dialog, FileChooser };
        Kind kind;
        QWidget* owner;
        QString title;
        QString text;
    };

    ScriptedPrompter();
    ~ScriptedPrompter() override;
    ScriptedPrompter(const ScriptedPrompter&) = delete;
    ScriptedPrompter& operator=(const ScriptedPrompter&) = delete;

    // Answers for the next questions, in order; an unscripted question answers No and
    // is counted.
    void answerYes() { m_answers.append(true); }
    void answerNo() { m_answers.append(false); }
    // Result for the next dialogs, in order (default: rejected). A dialog can also be
    // filled in by a script before its result is returned.
    void dialogResult(int result) { m_dialogResults.append(result); }
    void dialogScript(std::function<int(QDialog&)> script)
    {
        m_dialogScripts.append(std::move(script));
    }
    // Answers for the next file and folder choosers ("" cancels).
    void chooseFile(const QString& path) { m_files.append(path); }
    // The requests the choosers were given.
    const QList<FileRequest>& fileRequests() const { return m_fileRequests; }

    const QList<Notice>& notices() const { return m_notices; }
    int unscriptedQuestions() const { return m_unscripted; }
    void clear() { m_notices.clear(); }

    void warning(QWidget* owner, const QString& title, const QString& text) override;
    bool askYesNo(QWidget* owner, const QString& title, const QString& text) override;
    void plainMessage(const QString& text) override;
    int runDialog(QDialog& dialog) override;
    QString openFileName(QWidget* owner, const FileRequest& request) override;
    QString saveFileName(QWidget* owner, const FileRequest& request) override;
    QString existingDirectory(QWidget* owner, const QString& caption,
                              const QString& directory) override;

private:
    Prompter* m_previous;
    QList<Notice> m_notices;
    QList<bool> m_answers;
    QList<int> m_dialogResults;
    QList<std::function<int(QDialog&)>> m_dialogScripts;
    QList<QString> m_files;
    QList<FileRequest> m_fileRequests;
    int m_unscripted = 0;
};
