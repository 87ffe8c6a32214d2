// Messages the library writes itself: a non-delivery report into the Inbox when a message
// could not go to some or all of its recipients, and a read receipt (RFC 8098) for a message
// that asked for one.
#pragma once

#include <string>
#include <vector>

namespace vntmapi {

struct FailureReport
{
    std::string to;                      // the sender, as the report is addressed
    std::string subject;                 // of the message that failed
    std::vector<std::string> recipients; // that it did not reach
    std::string serverReply;             // the server's answer, as given
    std::string reason;                  // what went wrong, for a person
    bool partial = false;                // it did reach the others
    std::string original;                // the message as sent, attached when not empty
};

// A multipart/report (RFC 3464) from the mail system, with LF line ends.
std::string buildFailureReport(const FailureReport& report);

// A notice in the same form for a message that could not be handled at all, `text` saying why.
std::string buildNotice(const std::string& to, const std::string& subject, const std::string& text);

struct ReadReceipt
{
    std::string from; // the reader (the profile's identity)
    std::string fromName;
    std::string to;        // Disposition-Notification-To of the original
    std::string subject;   // of the original
    std::string messageId; // of the original, without angle brackets
    std::string originalRecipient;
};

// A message/disposition-notification report saying the message was displayed.
std::string buildReadReceipt(const ReadReceipt& receipt);

} // namespace vntmapi
