// The view as the composition parts see it: the "Send Email" tab's boxes, and the buttons and
// hooks that hand work to the composition controller.

#include "CRecipientBox.h"
#include "CSupportView.h"
#include "CTextBox.h"
#include "compose/ComposeController.h"
#include "database/DatabaseController.h"
#include "core/LifecycleHooks.h"
#include "mail/MailController.h"
#include "rtf/RtfReader.h"

#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kMailToButtons[] = {1061, 1062, 1063};
constexpr QRgb kUnresolvedRed = qRgb(200, 0, 0);

int recipientBoxId(int recipientType)
{
    return vantrel::compose::ComposeHost::kToBox + recipientType - 1;
}

} // namespace

void CSupportView::createCompose(CommandRouter& router)
{
    using vantrel::compose::ComposeController;
    if (!m_mail)
        return;
    m_compose = std::make_unique<ComposeController>(*m_mail, *this);
    m_compose->bindCommands(router);
    for (int id : kMailToButtons) {
        if (auto* button = qobject_cast<QPushButton*>(control(id)))
            connect(button, &QPushButton::clicked, this,
                    [this] { m_compose->OnRecipientsDialog(); });
    }
    m_hooks.isComposing = [this] {
        return m_compose->isComposing();
    };
    m_hooks.stopMessage = [this] {
        m_compose->stopMessage();
    };
    if (m_database) {
        m_compose->setRecordSource([db = m_database.get()](vantrel::compose::RecordCustomer* c) {
            return db->currentCustomer(&c->name, &c->address, &c->subjectSource);
        });
    }
}

void CSupportView::stopComposing()
{
    LifecycleHooks::run(m_hooks.stopMessage);
}

void CSupportView::applyOutgoingFormat(int format)
{
    CTextBox* outgoing = textBox(TextStreams::kOutgoingBox);
    if (!outgoing)
        return;
    if (format == 0) {
        outgoing->SetWrapMode(CTextBox::FixedWrap);
        outgoing->ApplyPlainFormat();
    } else {
        outgoing->SetWrapMode(CTextBox::WindowWrap);
        outgoing->ApplyRichFormat();
    }
}

void CSupportView::clearOutgoingBody()
{
    if (CTextBox* outgoing = textBox(TextStreams::kOutgoingBox))
        outgoing->clear();
}

QString CSupportView::recipientText(int recipientType)
{
    CRecipientBox* box = recipientBox(recipientBoxId(recipientType));
    return box ? box->toPlainText() : QString();
}

void CSupportView::setRecipientText(int recipientType, const QString& text)
{
    if (CRecipientBox* box = recipientBox(recipientBoxId(recipientType))) {
        box->setPlainText(text);
        box->ApplyStartFormat();
    }
}

bool CSupportView::setRecipientRtf(int recipientType, const QByteArray& rtf)
{
    CRecipientBox* box = recipientBox(recipientBoxId(recipientType));
    if (!box || !vnt::rtf::readRtf(rtf, box->document()))
        return false;
    // The caret goes to the end, and what is typed there shows red until it is checked.
    QTextCursor cursor = box->textCursor();
    cursor.movePosition(QTextCursor::End);
    box->setTextCursor(cursor);
    QTextCharFormat typing = cursor.charFormat();
    typing.setForeground(QColor::fromRgb(kUnresolvedRed));
    typing.setFontUnderline(false);
    box->setCurrentCharFormat(typing);
    return true;
}

QString CSupportView::subjectText()
{
    auto* subject = qobject_cast<QLineEdit*>(control(kSubjectBox));
    return subject ? subject->text() : QString();
}

void CSupportView::setSubjectText(const QString& text)
{
    if (auto* subject = qobject_cast<QLineEdit*>(control(kSubjectBox)))
        subject->setText(text);
}

void CSupportView::showSendEmail(int controlId)
{
    SelectTab(WorkspaceTab::SendEmail);
    if (QWidget* target = control(controlId))
        target->setFocus(Qt::OtherFocusReason);
}
