#include "DeliveryReport.h"

#include <gmime/gmime.h>
#include <memory>
#include <regex>

namespace vntmapi {

namespace {

struct Unref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template<typename T>
using Ref = std::unique_ptr<T, Unref>;

std::string hostName()
{
    return g_get_host_name();
}

// The enhanced status code (RFC 3463) of an answer like "550 5.1.1 <x>: unknown", else a
// general one of the answer's class.
std::string statusOf(const std::string& reply, bool permanent)
{
    static const std::regex code(R"(\b([245])\.(\d{1,3})\.(\d{1,3})\b)");
    std::smatch match;
    if (std::regex_search(reply, match, code)) {
        return match.str(0);
    }
    return permanent ? "5.0.0" : "4.0.0";
}

GMimeObject* textPart(const std::string& text)
{
    GMimeTextPart* part = g_mime_text_part_new_with_subtype("plain");
    g_mime_text_part_set_text(part, text.c_str());
    g_mime_text_part_set_charset(part, "utf-8");
    g_mime_part_set_content_encoding(
        GMIME_PART(part),
        g_mime_part_get_best_content_encoding(GMIME_PART(part), GMIME_ENCODING_CONSTRAINT_7BIT));
    return GMIME_OBJECT(part);
}

// A machine-readable part (message/delivery-status, message/disposition-notification).
GMimeObject* fieldsPart(const char* subtype, const std::string& fields)
{
    GMimePart* part = g_mime_part_new_with_type("message", subtype);
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(fields.data(), fields.size());
    GMimeDataWrapper* wrapper =
        g_mime_data_wrapper_new_with_stream(stream, GMIME_CONTENT_ENCODING_DEFAULT);
    g_mime_part_set_content(part, wrapper);
    g_object_unref(wrapper);
    g_object_unref(stream);
    g_mime_part_set_content_encoding(
        part, g_mime_part_get_best_content_encoding(part, GMIME_ENCODING_CONSTRAINT_7BIT));
    return GMIME_OBJECT(part);
}

GMimeObject* originalPart(const std::string& bytes)
{
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!message) {
        return nullptr;
    }
    GMimeMessagePart* part = g_mime_message_part_new_with_message("rfc822", message);
    g_object_unref(message);
    g_mime_object_set_disposition(GMIME_OBJECT(part), "attachment");
    return GMIME_OBJECT(part);
}

// A message from `fromName` <`fromAddress`> to `to` (none when empty), dated now, with an id.
Ref<GMimeMessage> newMessage(const char* fromName, const std::string& fromAddress,
                             const std::string& to, const std::string& subject)
{
    Ref<GMimeMessage> message(g_mime_message_new(TRUE));
    g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_FROM, fromName,
                               fromAddress.c_str());
    if (!to.empty()) {
        g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_TO, "", to.c_str());
    }
    g_mime_message_set_subject(message.get(), subject.c_str(), "utf-8");
    GDateTime* now = g_date_time_new_now_local();
    g_mime_message_set_date(message.get(), now);
    g_date_time_unref(now);
    gchar* id = g_mime_utils_generate_message_id(hostName().c_str());
    g_mime_message_set_message_id(message.get(), id);
    g_free(id);
    return message;
}

Ref<GMimeMessage> newReport(const char* fromName, const std::string& fromAddress,
                            const std::string& to, const std::string& subject,
                            const char* reportType)
{
    Ref<GMimeMessage> message = newMessage(fromName, fromAddress, to, subject);
    GMimeMultipart* report = g_mime_multipart_new_with_subtype("report");
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(report), "report-type", reportType);
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(report));
    g_object_unref(report);
    return message;
}

void add(GMimeMessage* message, GMimeObject* part)
{
    if (part) {
        g_mime_multipart_add(GMIME_MULTIPART(g_mime_message_get_mime_part(message)), part);
        g_object_unref(part);
    }
}

std::string toBytes(GMimeMessage* message)
{
    gchar* text = g_mime_object_to_string(GMIME_OBJECT(message), nullptr);
    std::string bytes = text ? text : "";
    g_free(text);
    return bytes;
}

std::string systemAddress()
{
    return "MAILER-DAEMON@" + hostName();
}

} // namespace

std::string buildFailureReport(const FailureReport& report)
{
    const std::string subject =
        std::string(report.partial ? "Partly undeliverable: " : "Undeliverable: ") + report.subject;
    Ref<GMimeMessage> message =
        newReport("Mail Delivery System", systemAddress(), report.to, subject, "delivery-status");
    std::string text = report.partial
                           ? "Your message could not be delivered to some of its recipients. It "
                             "did reach the others.\n\n"
                           : "Your message could not be delivered.\n\n";
    text += "Subject: " + report.subject + "\n\nNot delivered to:\n";
    for (const std::string& to : report.recipients) {
        text += "    " + to + "\n";
    }
    if (!report.reason.empty()) {
        text += "\nWhy: " + report.reason + "\n";
    }
    if (!report.serverReply.empty()) {
        text += "\nThe server answered:\n    " + report.serverReply + "\n";
    }
    if (!report.original.empty()) {
        text += "\nThe message is attached as it was sent.\n";
    }
    add(message.get(), textPart(text));
    std::string fields = "Reporting-MTA: dns; " + hostName() + "\n";
    for (const std::string& to : report.recipients) {
        fields += "\nFinal-Recipient: rfc822; " + to +
                  "\nAction: failed\nStatus: " + statusOf(report.serverReply, true) + "\n";
        if (!report.serverReply.empty()) {
            std::string diagnostic = report.serverReply;
            for (char& c : diagnostic) {
                c = (c == '\r' || c == '\n') ? ' ' : c;
            }
            fields += "Diagnostic-Code: smtp; " + diagnostic + "\n";
        }
    }
    add(message.get(), fieldsPart("delivery-status", fields));
    if (!report.original.empty()) {
        add(message.get(), originalPart(report.original));
    }
    return toBytes(message.get());
}

std::string buildNotice(const std::string& to, const std::string& subject, const std::string& text)
{
    Ref<GMimeMessage> message = newMessage("Mail Delivery System", systemAddress(), to, subject);
    GMimeObject* body = textPart(text);
    g_mime_message_set_mime_part(message.get(), body);
    g_object_unref(body);
    return toBytes(message.get());
}

std::string buildReadReceipt(const ReadReceipt& receipt)
{
    Ref<GMimeMessage> message = newReport(receipt.fromName.c_str(), receipt.from, receipt.to,
                                          "Read: " + receipt.subject, "disposition-notification");
    add(message.get(),
        textPart("Your message\n\n    Subject: " + receipt.subject + "\n\nwas displayed by " +
                 (receipt.fromName.empty() ? receipt.from
                                           : receipt.fromName + " <" + receipt.from + ">") +
                 ". This says nothing about whether it was read or understood.\n"));
    std::string fields = "Reporting-UA: " + hostName() + "; Vantrel\n";
    if (!receipt.originalRecipient.empty()) {
        fields += "Original-Recipient: rfc822;" + receipt.originalRecipient + "\n";
    }
    fields += "Final-Recipient: rfc822;" + receipt.from + "\n";
    if (!receipt.messageId.empty()) {
        fields += "Original-Message-ID: <" + receipt.messageId + ">\n";
    }
    // Sent because the user acted on the message (moved or read it), without being asked.
    fields += "Disposition: manual-action/MDN-sent-automatically; displayed\n";
    add(message.get(), fieldsPart("disposition-notification", fields));
    return toBytes(message.get());
}

} // namespace vntmapi
