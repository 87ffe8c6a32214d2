#include "Prompter.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {

Prompter* g_installed = nullptr;

} // namespace

Prompter& Prompter::current()
{
    static DesktopPrompter desktop;
    return g_installed ? *g_installed : desktop;
}

Prompter* Prompter::install(Prompter* prompter)
{
    Prompter* previous = g_installed;
    g_installed = prompter;
    return previous;
}

void DesktopPrompter::warning(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, owner);
    box.exec();
}

bool DesktopPrompter::askYesNo(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void DesktopPrompter::plainMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok);
    box.exec();
}

int DesktopPrompter::runDialog(QDialog& dialog)
{
    return dialog.exec();
}

namespace {

QString runFileDialog(QWidget* owner, const Prompter::FileRequest& request,
                      QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(owner, request.caption, request.directory, request.filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

} // namespace

QString DesktopPrompter::openFileName(QWidget* owner, const FileRequest& request)
{
    return runFileDialog(owner, request, QFileDialog::AcceptOpen);
}

QString DesktopPrompter::saveFileName(QWidget* owner, const FileRequest& request)
{
    return runFileDialog(owner, request, QFileDialog::AcceptSave);
}

QString DesktopPrompter::existingDirectory(QWidget* owner, const QString& caption,
                                           const QString& directory)
{
    return QFileDialog::getExistingDirectory(owner, caption, directory);
}
