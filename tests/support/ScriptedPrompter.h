#pragma once

#include "core/Prompter.h"

#include <QList>
#include <QString>

class QWidget;

// Answers the program's questions from a script and records every notice, so tests
// can check what the user would have seen. Installed for its lifetime.
class ScriptedPrompter : public Prompter
{
public:
    struct Notice
    {
        enum Kind { Warning, Question, Plain, Dialog };
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
    // Result for the next dialogs, in order (default: rejected).
    void dialogResult(int result) { m_dialogResults.append(result); }

    const QList<Notice>& notices() const { return m_notices; }
    int unscriptedQuestions() const { return m_unscripted; }
    void clear() { m_notices.clear(); }

    void warning(QWidget* owner, const QString& title, const QString& text) override;
    bool askYesNo(QWidget* owner, const QString& title, const QString& text) override;
    void plainMessage(const QString& text) override;
    int runDialog(QDialog& dialog) override;

private:
    Prompter* m_previous;
    QList<Notice> m_notices;
    QList<bool> m_answers;
    QList<int> m_dialogResults;
    int m_unscripted = 0;
};
