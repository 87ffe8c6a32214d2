// Shared by the composition tests and benchmarks: a logged-on mail controller over a real
// Maildir store with a vCard contacts folder, and a stand-in for the "Send Email" tab.
#pragma once

#include "MailTestSetup.h"
#include "compose/ComposeHost.h"
#include "core/CSupportDoc.h"
#include "core/SettingsStore.h"
#include "mail/MailController.h"
#include "rtf/RtfReader.h"

#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

namespace composetest {

// Selects the rows of `list` with a cell showing one of `texts`, the first made current
// (none when `texts` is empty); false when not all of them are shown.
inline bool selectRows(QTreeView& list, const QStringList& texts)
{
    QItemSelectionModel* selection = list.selectionModel();
    selection->clear();
    qsizetype found = 0;
    for (int row = 0; row < list.model()->rowCount(); ++row) {
        for (int column = 0; column < list.model()->columnCount(); ++column) {
            if (!texts.contains(list.model()->index(row, column).data().toString()))
                continue;
            const QModelIndex index = list.model()->index(row, 0);
            const auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
            found++ ? selection->select(index, flags) : selection->setCurrentIndex(index, flags);
            break;
        }
    }
    return found == texts.size();
}

// The boxes of the "Send Email" tab as plain Qt editors.
class TestComposeHost : public vantrel::compose::ComposeHost
{
public:
    QWidget* hostWidget() override { return &view; }
    int outgoingFormat() const override { return format; }
    void setOutgoingFormat(int value) override { format = value; }
    void applyOutgoingFormat(int value) override { appliedFormats.append(value); }
    void streamTextOut(int controlId, QString& text, int rich) override
    {
        wholeTextOut(controlId, text, rich);
    }
    void streamTextIn(int controlId, bool, const QString& text, int rich) override
    {
        QTextEdit& box = controlId == kReadBox ? read : body;
        if (rich)
            vnt::rtf::readRtf(text.toLatin1(), box.document());
        else
            box.setPlainText(text);
    }
    void wholeTextOut(int controlId, QString& text, int rich) override
    {
        QTextEdit& box = controlId == kReadBox ? read : body;
        text = rich ? rtfOut.value(controlId) : box.toPlainText();
    }
    void clearOutgoingBody() override { body.clear(); }
    QString recipientText(int type) override { return box(type).toPlainText(); }
    void setRecipientText(int type, const QString& text) override { box(type).setPlainText(text); }
    bool setRecipientRtf(int type, const QByteArray& rtf) override
    {
        rtfIn[type] = rtf;
        return vnt::rtf::readRtf(rtf, box(type).document());
    }
    QString subjectText() override { return subject.text(); }
    void setSubjectText(const QString& text) override { subject.setText(text); }
    void showSendEmail(int controlId) override { shown.append(controlId); }

    QTextEdit& box(int type) { return type == 2 ? cc : type == 3 ? bcc : to; }

    QWidget view;
    QTextEdit body, read, to, cc, bcc;
    QLineEdit subject;
    int format = 0;
    QList<int> appliedFormats;
    QHash<int, QString> rtfOut;   // what streamTextOut gives as rich text, by control
    QHash<int, QByteArray> rtfIn; // last RTF given to each recipient box
    QList<int> shown;             // showSendEmail calls
};

// A logged-on mail controller: store "Mail" (Maildir++ under dir/Maildir) with the contacts
// folder dir/contacts. Extra profile lines (say, "NoRichText=true") go into the store group.
class MailFixture
{
public:
    bool setUp(const QByteArray& storeExtra = {})
    {
        if (!dir.isValid())
            return false;
        for (const char* sub : {"Maildir/cur", "Maildir/new", "Maildir/tmp", "contacts"})
            QDir().mkpath(dir.filePath(QLatin1StringView(sub)));
        if (!mailtest::installMailClient(dir.path(), "[Profile Test]\nDefault=true\n"
                                                     "Name=Sam Support\nAddress=sam@example.com\n"
                                                     "Stores=Mail\n[Store Test/Mail]\n"
                                                     "Path=@ROOT@/Maildir\n"
                                                     "Contacts=@ROOT@/contacts\n" +
                                                         storeExtra))
            return false;
        settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.ini")));
        doc = std::make_unique<CSupportDoc>(*settings, dir.path() + u'/');
        mail = std::make_unique<vantrel::mail::MailController>(
            *doc, mailHost,
            vantrel::mail::MailController::Controls{&tree, &list, &treeMenu, &listMenu},
            QStringLiteral("vantrel"), dir.path());
        return mail->OnLogon();
    }
    QString path(const char* relative) const { return dir.filePath(QLatin1StringView(relative)); }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<CSupportDoc> doc;
    mailtest::TestMailHost mailHost;
    QTreeWidget tree;
    QTreeView list;
    QMenu treeMenu, listMenu;
    std::unique_ptr<vantrel::mail::MailController> mail;
};

} // namespace composetest
