#include "mail/HeaderBlock.h"

namespace {

const QString lineEnd = QStringLiteral(" \r\n");
const QString unknown = QStringLiteral("Unknown");

bool isFilled(const std::optional<QString>& value)
{
    return value && !value->isEmpty();
}

// "From: " line. False when a reply has no name to show for the sender.
bool appendFromLine(const OriginalMessageHeader& message, HeaderBlockMode mode, HeaderBlock* block)
{
    block->text += QStringLiteral("From: ");

    bool senderMissing = false;
    if (message.senderName) {
        block->text += *message.senderName;
        block->senderName = *message.senderName;
    } else if (mode == HeaderBlockMode::Forward) {
        block->senderName = unknown;
    } else {
        senderMissing = true;
    }

    if (isFilled(message.representingName)) {
        const QString& representing = *message.representingName;
        if (senderMissing) {
            block->text += QStringLiteral(" Represented by ") + representing;
            block->senderName = representing;
        } else if (representing != message.senderName.value_or(QString())) {
            block->text += QStringLiteral(" representing ") + representing;
        }
    } else if (!message.representingName && senderMissing) {
        return false;
    }

    if (isFilled(message.senderAddress)) {
        block->text += QStringLiteral(" [mailto:") + *message.senderAddress + QStringLiteral("] ");
        block->senderAddress = *message.senderAddress;
    } else {
        if (message.senderAddress)
            block->text += QStringLiteral(" [mailto:   ] ");
        block->senderAddress = unknown;
    }
    block->text += lineEnd;
    return true;
}

// The subject line; returns the normalized subject when it was used and is not empty.
QString appendSubjectLine(const OriginalMessageHeader& message, HeaderBlock* block)
{
    block->text += QStringLiteral("Subject: ");
    const std::optional<QString>& used =
        message.normalizedSubject ? message.normalizedSubject : message.subject;
    if (isFilled(used)) {
        block->text += *used;
        block->subject = *used;
    } else {
        block->subject = QStringLiteral(" ");
    }
    block->text += lineEnd;
    return message.normalizedSubject ? *message.normalizedSubject : QString();
}

} // namespace

HeaderBlockMode headerBlockModeFromCode(int code)
{
    return code == 4 ? HeaderBlockMode::Forward : HeaderBlockMode::Reply;
}

std::optional<HeaderBlock> buildHeaderBlock(const OriginalMessageHeader& message,
                                            HeaderBlockMode mode)
{
    HeaderBlock block;
    if (!appendFromLine(message, mode, &block))
        return std::nullopt;

    if (message.submitTime) {
        const QDate date = message.submitTime->date();
        const QTime time = message.submitTime->time();
        block.text += QStringLiteral("Sent: ") +
                      QString::asprintf("%.4d/%.2d/%.2d %.2d:%.2d", date.year(), date.month(),
                                        date.day(), time.hour(), time.minute()) +
                      lineEnd;
    }

    if (message.displayTo)
        block.text += QStringLiteral("To: ") + *message.displayTo + lineEnd;
    if (isFilled(message.displayCc))
        block.text += QStringLiteral("Cc: ") + *message.displayCc + lineEnd;

    const QString rememberedSubject = appendSubjectLine(message, &block);

    // A topic that only repeats the subject adds nothing; a missing or empty one leaves
    // a blank line instead.
    if (!isFilled(message.conversationTopic)) {
        block.text += lineEnd;
    } else if (!rememberedSubject.isEmpty() && *message.conversationTopic != rememberedSubject) {
        block.text += QStringLiteral("Conversation: ") + *message.conversationTopic + lineEnd;
    }

    block.text += lineEnd;
    return block;
}
