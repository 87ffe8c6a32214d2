#include "SpoolRecord.h"

#include "Maildir.h"
#include "fileio/AtomicFile.h"
#include "fileio/FileLock.h"

#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>

namespace vntmapi {

namespace {

constexpr char kHeader[] = "vantrel-spool 1";
constexpr char kRecordSuffix[] = ".rec";
constexpr char kMessageSuffix[] = ".eml";

const char* stateName(SpoolRecord::State state)
{
    switch (state) {
    case SpoolRecord::State::Queued:
        return "queued";
    case SpoolRecord::State::Sending:
        return "sending";
    case SpoolRecord::State::Sent:
        return "sent";
    }
    return "queued";
}

// Values stay on one line.
std::string escape(const std::string& value)
{
    std::string out;
    for (char c : value) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

bool unescape(const std::string& value, std::string* out)
{
    out->clear();
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            *out += value[i];
            continue;
        }
        if (++i == value.size()) {
            return false;
        }
        const char c = value[i];
        if (c != '\\' && c != 'n' && c != 'r') {
            return false;
        }
        *out += c == 'n' ? '\n' : c == 'r' ? '\r' : '\\';
    }
    return true;
}

std::string checksum(const std::string& text)
{
    gchar* sum = g_compute_checksum_for_string(G_CHECKSUM_SHA256, text.data(),
                                               static_cast<gssize>(text.size()));
    std::string result = sum;
    g_free(sum);
    return result;
}

bool parseNumber(const std::string& text, std::int64_t* value)
{
    if (text.empty()) {
        return false;
    }
    gchar* end = nullptr;
    const gint64 parsed = g_ascii_strtoll(text.c_str(), &end, 10);
    if (!end || *end != '\0') {
        return false;
    }
    *value = parsed;
    return true;
}

QString qpath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace

std::string encodeRecord(const SpoolRecord& r)
{
    std::string text = std::string(kHeader) + "\n";
    const auto line = [&text](const char* key, const std::string& value) {
        text += key;
        text += '=';
        text += escape(value);
        text += '\n';
    };
    line("state", stateName(r.state));
    line("message", r.message);
    line("from", r.from);
    for (const std::string& to : r.recipients) {
        line("rcpt", to);
    }
    for (const std::string& to : r.refused) {
        line("refused", to);
    }
    for (const std::string& to : r.accepted) {
        line("accepted", to);
    }
    line("subject", r.subject);
    line("after", r.afterSent);
    line("report", r.reportName);
    line("reply", r.lastReply);
    line("reason", r.lastReason);
    line("attempts", std::to_string(r.attempts));
    line("submitted", std::to_string(r.submitted));
    line("next", std::to_string(r.nextTry));
    line("owner", std::to_string(r.owner));
    text += "sum=" + checksum(text) + "\n";
    return text;
}

bool decodeRecord(const std::string& text, SpoolRecord* record, std::string* why)
{
    const auto fail = [why](std::string reason) {
        if (why) {
            *why = std::move(reason);
        }
        return false;
    };
    const std::string::size_type sumAt = text.rfind("sum=");
    if (text.rfind(kHeader, 0) != 0) {
        return fail("it does not start as a queue record");
    }
    if (sumAt == std::string::npos || text.back() != '\n' ||
        text.substr(sumAt + 4, text.size() - sumAt - 5) != checksum(text.substr(0, sumAt))) {
        return fail("its checksum does not match its contents (it was cut short or changed)");
    }
    SpoolRecord r;
    bool hasState = false;
    std::size_t pos = sizeof(kHeader);
    while (pos < sumAt) {
        const std::size_t end = text.find('\n', pos);
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t eq = line.find('=');
        std::string value;
        if (eq == std::string::npos || !unescape(line.substr(eq + 1), &value)) {
            return fail("the line \"" + line + "\" cannot be read");
        }
        const std::string key = line.substr(0, eq);
        std::int64_t number = 0;
        if (key == "state") {
            hasState = true;
            if (value == "queued") {
                r.state = SpoolRecord::State::Queued;
            } else if (value == "sending") {
                r.state = SpoolRecord::State::Sending;
            } else if (value == "sent") {
                r.state = SpoolRecord::State::Sent;
            } else {
                return fail("its state \"" + value + "\" is unknown");
            }
        } else if (key == "message") {
            r.message = value;
        } else if (key == "from") {
            r.from = value;
        } else if (key == "rcpt") {
            r.recipients.push_back(value);
        } else if (key == "refused") {
            r.refused.push_back(value);
        } else if (key == "accepted") {
            r.accepted.push_back(value);
        } else if (key == "subject") {
            r.subject = value;
        } else if (key == "after") {
            r.afterSent = value;
        } else if (key == "report") {
            r.reportName = value;
        } else if (key == "reply") {
            r.lastReply = value;
        } else if (key == "reason") {
            r.lastReason = value;
        } else if (key == "attempts" || key == "submitted" || key == "next" || key == "owner") {
            if (!parseNumber(value, &number)) {
                return fail("its " + key + " \"" + value + "\" is not a number");
            }
            if (key == "attempts") {
                r.attempts = static_cast<int>(number);
            } else if (key == "submitted") {
                r.submitted = number;
            } else if (key == "next") {
                r.nextTry = number;
            } else {
                r.owner = number;
            }
        }
        // Other keys come from a later version; they are kept to that version.
    }
    if (!hasState) {
        return fail("it names no state");
    }
    *record = std::move(r);
    return true;
}

bool isQueued(const StoreConfig& store, const std::string& baseName)
{
    const Spool spool(store);
    return spool.isValid() && g_file_test(spool.recordPath(baseName).c_str(), G_FILE_TEST_EXISTS);
}

Spool::Spool(const StoreConfig& store)
{
    if (!store.outbox.empty()) {
        m_dir = joinPath(folderDirectory(store.path, store.outbox), "vantrel-spool");
    }
}

std::string Spool::recordPath(const std::string& id) const
{
    return joinPath(m_dir, id + kRecordSuffix);
}

std::vector<std::string> Spool::ids() const
{
    std::vector<std::string> ids;
    GDir* dir = g_dir_open(m_dir.c_str(), 0, nullptr);
    if (!dir) {
        return ids;
    }
    while (const gchar* name = g_dir_read_name(dir)) {
        const std::string file = name;
        const std::size_t n = sizeof(kRecordSuffix) - 1;
        if (file.size() > n && file.compare(file.size() - n, n, kRecordSuffix) == 0) {
            ids.push_back(file.substr(0, file.size() - n));
        }
    }
    g_dir_close(dir);
    std::sort(ids.begin(), ids.end());
    return ids;
}

RecordRead Spool::read(const std::string& id, SpoolRecord* record, std::string* why) const
{
    gchar* data = nullptr;
    gsize size = 0;
    GError* error = nullptr;
    if (!g_file_get_contents(recordPath(id).c_str(), &data, &size, &error)) {
        const bool missing = g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT);
        if (why && error) {
            *why = error->message;
        }
        g_clear_error(&error);
        return missing ? RecordRead::Missing : RecordRead::Damaged;
    }
    const std::string text(data, size);
    g_free(data);
    return decodeRecord(text, record, why) ? RecordRead::Ok : RecordRead::Damaged;
}

HRESULT Spool::write(const std::string& id, const SpoolRecord& record, bool durable) const
{
    if (g_mkdir_with_parents(m_dir.c_str(), 0700) != 0) {
        return MAPI_E_NO_ACCESS;
    }
    const std::string text = encodeRecord(record);
    if (durable) {
        return vnt::fileio::writeFileAtomically(qpath(recordPath(id)),
                                                QByteArray::fromStdString(text))
                       .ok()
                   ? S_OK
                   : MAPI_E_DISK_ERROR;
    }
    // Progress marks: readers in this and other processes see them at once; after a crash the
    // older durable state is what counts, and it is safe (the message goes again).
    const std::string tmp = recordPath(id) + ".tmp";
    if (!g_file_set_contents_full(tmp.c_str(), text.data(), static_cast<gssize>(text.size()),
                                  G_FILE_SET_CONTENTS_NONE, 0600, nullptr)) {
        return MAPI_E_DISK_ERROR;
    }
    return g_rename(tmp.c_str(), recordPath(id).c_str()) == 0 ? S_OK : MAPI_E_DISK_ERROR;
}

HRESULT Spool::writeMessage(const std::string& id, const std::string& bytes) const
{
    if (g_mkdir_with_parents(m_dir.c_str(), 0700) != 0) {
        return MAPI_E_NO_ACCESS;
    }
    const auto result = vnt::fileio::writeFileAtomically(
        qpath(joinPath(m_dir, id + kMessageSuffix)), QByteArray::fromStdString(bytes));
    return result.ok()                                             ? S_OK
           : result.failure == vnt::fileio::WriteFailure::DiskFull ? MAPI_E_NOT_ENOUGH_DISK
                                                                   : MAPI_E_DISK_ERROR;
}

bool Spool::readMessage(const std::string& id, std::string* bytes) const
{
    gchar* data = nullptr;
    gsize size = 0;
    if (!g_file_get_contents(joinPath(m_dir, id + kMessageSuffix).c_str(), &data, &size, nullptr)) {
        return false;
    }
    bytes->assign(data, size);
    g_free(data);
    return true;
}

void Spool::remove(const std::string& id) const
{
    g_unlink(recordPath(id).c_str());
    g_unlink(joinPath(m_dir, id + kMessageSuffix).c_str());
}

void Spool::setAside(const std::string& id) const
{
    const std::string aside = recordPath(id) + ".damaged";
    g_rename(recordPath(id).c_str(), aside.c_str());
}

bool Spool::lock(vnt::fileio::FileLock* lock) const
{
    const std::string path = joinPath(m_dir, "lock");
    if (g_mkdir_with_parents(m_dir.c_str(), 0700) != 0) {
        return false;
    }
    const int fd = g_open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return lock->lock(qpath(path), 30000) == vnt::fileio::FileLock::Result::Locked;
}

} // namespace vntmapi
