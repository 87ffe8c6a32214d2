#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// The block of From, Sent, To, Cc and Subject lines that a reply or a forward puts above
// the original text. Built from values already read off the original message, so that the
// text rules stand apart from the store.

// Values of the original message. std::nullopt marks a property the message does not
// carry (or carries with an error or the wrong type); an empty string is a value.
struct OriginalMessageHeader
{
    std::optional<QString> senderName;
    std::optional<QString> representingName;
    std::optional<QString> senderAddress;
    // Already in the user's time zone; printed as it stands.
    std::optional<QDateTime> submitTime;
    std::optional<QString> displayTo;
    std::optional<QString> displayCc;
    std::optional<QString> normalizedSubject;
    std::optional<QString> subject;
    std::optional<QString> conversationTopic;
};

enum class HeaderBlockMode {
    Reply,
    Forward,
};

// The mode a numeric command code stands for: 4 is a forward, every other code a reply.
HeaderBlockMode headerBlockModeFromCode(int code);

// What the block hands back. The caller appends these to its own buffers.
struct HeaderBlock
{
    QString text;
    QString senderName;
    QString senderAddress;
    QString subject;
};

// The header block of `message`, every line ending in " \r\n". std::nullopt when a reply
// cannot name the sender at all (no sender name and no representing name); nothing is
// produced then, so the caller's buffers stay as they were.
std::optional<HeaderBlock> buildHeaderBlock(const OriginalMessageHeader& message,
                                            HeaderBlockMode mode);
