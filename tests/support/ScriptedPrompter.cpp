#include "ScriptedPrompter.h"

#include <QDialog>

ScriptedPrompter::ScriptedPrompter()
    : m_previous(Prompter::install(this))
{}

ScriptedPrompter::~ScriptedPrompter()
{
    Prompter::install(m_previous);
}

void ScriptedPrompter::warning(QWidget* owner, const QString& title, const QString& text)
{
    m_notices.append({Notice::Warning, owner, title, text});
}

bool ScriptedPrompter::askYesNo(QWidget* owner, const QString& title, const QString& text)
{
    m_notices.append({Notice::Question, owner, title, text});
    if (m_answers.isEmpty()) {
        ++m_unscripted;
        return false;
    }
    return m_answers.takeFirst();
}

void ScriptedPrompter::plainMessage(const QString& text)
{
    m_notices.append({Notice::Plain, nullptr, {}, text});
}

int ScriptedPrompter::runDialog(QDialog& dialog)
{
    m_notices.append({Notice::Dialog, nullptr, dialog.windowTitle(), dialog.objectName()});
    if (!m_dialogScripts.isEmpty())
        return m_dialogScripts.takeFirst()(dialog);
    return m_dialogResults.isEmpty() ? QDialog::Rejected : m_dialogResults.takeFirst();
}

QString ScriptedPrompter::openFileName(QWidget* owner, const FileRequest& request)
{
    m_notices.append({Notice::FileChooser, owner, request.caption, request.directory});
    m_fileRequests.append(request);
    return m_files.isEmpty() ? QString() : m_files.takeFirst();
}

QString ScriptedPrompter::saveFileName(QWidget* owner, const FileRequest& request)
{
    return openFileName(owner, request);
}

QString ScriptedPrompter::existingDirectory(QWidget* owner, const QString& caption,
                                            const QString& directory)
{
    return openFileName(owner, FileRequest{caption, directory, {}, {}});
}
