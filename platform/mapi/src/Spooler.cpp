#include "Spooler.h"

#include "DeliveryReport.h"
#include "MessageWriter.h"
#include "SpoolRecord.h"
#include "Transport.h"
#include "fileio/FileLock.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <glib/gstdio.h>
#include <sys/time.h>
#include <unistd.h>

namespace vntmapi {

namespace {

// A send that has not come back in this time is taken to have died with its process.
constexpr std::int64_t kLeaseMs = 15 * 60 * 1000;
constexpr int kMaxAttempts = 12;
constexpr std::int64_t kGiveUpAfterSeconds = 5 * 24 * 3600;
constexpr std::int64_t kLongestWaitMs = 3600 * 1000;
// Other processes may queue messages too; their queues are looked at this often.
constexpr std::int64_t kPollMs = 30 * 1000;
constexpr std::size_t kSenders = 8;

std::mutex g_registryMutex;
std::vector<Spooler*> g_spoolers;

bool isAlive(std::int64_t pid)
{
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

vnt::transport::TransportSettings settingsOf(const TransportConfig& config)
{
    using vnt::transport::TransportSettings;
    TransportSettings settings;
    settings.kind = config.kind == TransportConfig::Smtp ? TransportSettings::Smtp
                                                         : TransportSettings::Sendmail;
    settings.host = QString::fromStdString(config.host);
    settings.port = config.port;
    settings.security = config.security == TransportConfig::ImplicitTls
                            ? TransportSettings::ImplicitTls
                        : config.security == TransportConfig::Plain ? TransportSettings::Plain
                                                                    : TransportSettings::StartTls;
    settings.user = QString::fromStdString(config.user);
    settings.password = QString::fromStdString(config.password);
    settings.caFile = QString::fromStdString(config.caFile);
    settings.sendmailPath = QString::fromStdString(config.sendmailPath);
    return settings;
}

std::vector<std::string> toStd(const QList<QByteArray>& list)
{
    std::vector<std::string> out;
    for (const QByteArray& item : list) {
        out.push_back(item.toStdString());
    }
    return out;
}

void addUnique(std::vector<std::string>* to, const std::vector<std::string>& items)
{
    for (const std::string& item : items) {
        if (std::find(to->begin(), to->end(), item) == to->end()) {
            to->push_back(item);
        }
    }
}

// Works through one store's queue.
class QueueRunner
{
public:
    explicit QueueRunner(const StoreConfig& store)
        : m_store(store)
        , m_spool(store)
    {}

    std::int64_t run(bool restart, const std::function<bool()>& stopping)
    {
        const std::vector<std::string> ids = m_spool.ids();
        std::atomic<std::size_t> taken{0};
        std::mutex mutex;
        std::int64_t next = 0;
        const auto work = [&] {
            for (std::size_t i = taken++; i < ids.size() && !stopping(); i = taken++) {
                const std::int64_t due = handle(ids[i], restart);
                std::lock_guard lock(mutex);
                if (due != 0 && (next == 0 || due < next)) {
                    next = due;
                }
            }
        };
        // A few connections at once: most of a send is waiting for the server and the disk.
        // Each message is claimed under the queue's lock, so none goes twice.
        std::vector<std::thread> helpers;
        for (std::size_t i = 1; i < std::min(ids.size(), kSenders); ++i) {
            helpers.emplace_back(work);
        }
        work();
        for (std::thread& helper : helpers) {
            helper.join();
        }
        return next;
    }

private:
    std::string outboxDir() const { return folderDirectory(m_store.path, m_store.outbox); }
    std::string inboxDir() const { return m_store.path; }

    std::int64_t backoff(int attempts) const
    {
        double wait = m_store.transport.retrySeconds * 1000.0;
        for (int i = 1; i < attempts && wait < kLongestWaitMs; ++i) {
            wait *= 2;
        }
        return std::min<std::int64_t>(static_cast<std::int64_t>(wait), kLongestWaitMs);
    }

    // A user name without a password: the session that has the password sends it.
    bool lacksPassword() const
    {
        const TransportConfig& t = m_store.transport;
        return t.kind == TransportConfig::Smtp && !t.user.empty() && t.password.empty();
    }

    std::int64_t handle(const std::string& id, bool restart)
    {
        vnt::fileio::FileLock lock;
        if (!m_spool.lock(&lock)) {
            return nowMs() + 5000;
        }
        SpoolRecord record;
        std::string why;
        switch (m_spool.read(id, &record, &why)) {
        case RecordRead::Missing:
            return 0; // aborted or finished meanwhile
        case RecordRead::Damaged:
            reportDamaged(id, why);
            return 0;
        case RecordRead::Ok:
            break;
        }
        const std::int64_t now = nowMs();
        if (record.state == SpoolRecord::State::Sent) {
            finish(id, &record);
            return record.state == SpoolRecord::State::Queued ? record.nextTry : 0;
        }
        if (record.state == SpoolRecord::State::Sending && isAlive(record.owner) &&
            record.nextTry > now) {
            return now + 1000; // in flight elsewhere
        }
        if (record.state == SpoolRecord::State::Queued && !restart && record.nextTry > now) {
            return record.nextTry;
        }
        MessageFile file;
        if (!record.message.empty() && !findMessage(outboxDir(), record.message, &file)) {
            // Deleted from the Outbox while it waited (taken back), or moved on after a send
            // whose record a crash kept from being removed: either way it is not to go.
            m_spool.remove(id);
            return 0;
        }
        if (lacksPassword() || !m_store.transport.isUsable()) {
            return now + kPollMs;
        }
        record.state = SpoolRecord::State::Sending;
        record.owner = getpid();
        record.nextTry = now + kLeaseMs;
        if (FAILED(m_spool.write(id, record, false))) {
            return now + 5000;
        }
        lock.unlock();
        return send(id, &record);
    }

    std::int64_t send(const std::string& id, SpoolRecord* record)
    {
        std::string bytes;
        vnt::transport::SendResult result;
        if (!m_spool.readMessage(id, &bytes)) {
            result.outcome = vnt::transport::SendResult::Refused;
            result.reason =
                QString::fromStdString("the queued copy of the message (" + m_spool.directory() +
                                       "/" + id + ".eml) could not be read");
        } else {
            vnt::transport::Envelope envelope;
            envelope.from = QByteArray::fromStdString(record->from);
            for (const std::string& to : record->recipients) {
                envelope.recipients.push_back(QByteArray::fromStdString(to));
            }
            result = vnt::transport::sendMessage(settingsOf(m_store.transport), envelope,
                                                 QByteArray::fromStdString(bytes));
        }
        // No lock from here: a record in flight is changed by its owner alone (AbortSubmit
        // refuses it, other spoolers leave it to a live owner).
        record->attempts++;
        record->lastReply = result.serverReply.toStdString();
        record->lastReason = result.reason.toStdString();
        record->owner = 0;
        using vnt::transport::SendResult;
        if (result.outcome == SendResult::Sent) {
            addUnique(&record->accepted, toStd(result.accepted));
            addUnique(&record->refused, toStd(result.refused));
            record->recipients = toStd(result.deferred);
        } else if (result.outcome == SendResult::Deferred && !isOverdue(*record)) {
            record->state = SpoolRecord::State::Queued;
            record->nextTry = nowMs() + backoff(record->attempts);
            m_spool.write(id, *record);
            return record->nextTry;
        } else {
            // Refused, or deferred for too long: every recipient still waiting has failed.
            if (result.outcome == SendResult::Deferred) {
                record->lastReason = "the message could not be sent for " +
                                     std::to_string(record->attempts) +
                                     " attempts; the last: " + record->lastReason;
            }
            addUnique(&record->refused, record->recipients);
            record->recipients.clear();
        }
        record->state = SpoolRecord::State::Sent;
        if (!record->refused.empty()) {
            record->reportName = newUniqueName();
        }
        // A report or a later try to come: the answer is on disk before anything follows from
        // it, so that after a crash they are made from here. A plain success needs no record:
        // its move out of the Outbox is on disk, and the queue drops a record whose message
        // has left.
        if ((!record->refused.empty() || !record->recipients.empty()) &&
            FAILED(m_spool.write(id, *record))) {
            return nowMs() + 5000;
        }
        finish(id, record);
        return record->state == SpoolRecord::State::Queued ? record->nextTry : 0;
    }

    bool isOverdue(const SpoolRecord& record) const
    {
        return record.attempts >= kMaxAttempts ||
               nowMs() / 1000 - record.submitted > kGiveUpAfterSeconds;
    }

    // Everything after the transport's answer, each step safe to repeat.
    void finish(const std::string& id, SpoolRecord* record)
    {
        const bool reached = !record->accepted.empty();
        if (!record->refused.empty() && !record->reportName.empty()) {
            MessageFile existing;
            if (!findMessage(inboxDir(), record->reportName, &existing)) {
                FailureReport report;
                report.to = m_store.identityAddress;
                report.subject = record->subject;
                report.recipients = record->refused;
                report.serverReply = record->lastReply;
                report.reason = record->lastReason;
                report.partial = reached;
                m_spool.readMessage(id, &report.original);
                if (FAILED(deliverMessageBytes(inboxDir(), record->reportName,
                                               buildFailureReport(report), ""))) {
                    return; // the record stays as it is: tried again on the next pass
                }
            }
        }
        MessageFile file;
        if (!record->message.empty() && findMessage(outboxDir(), record->message, &file)) {
            if (!reached) {
                markUnsent(file); // nothing went: back to a draft the user can correct
            } else if (record->afterSent.empty()) {
                removeMessageFile(file);
            } else {
                const std::string sentDir = folderDirectory(m_store.path, record->afterSent);
                if (!isDirectory(sentDir) || FAILED(moveMessageFile(file, sentDir))) {
                    return;
                }
            }
        }
        if (!record->recipients.empty()) {
            // Some recipients are to be tried later; the message itself has been dealt with.
            record->state = SpoolRecord::State::Queued;
            record->message.clear();
            record->refused.clear();
            record->reportName.clear();
            record->nextTry = nowMs() + backoff(record->attempts);
            m_spool.write(id, *record);
            return;
        }
        m_spool.remove(id);
    }

    void reportDamaged(const std::string& id, const std::string& why)
    {
        MessageFile file;
        const bool inOutbox = findMessage(outboxDir(), id, &file);
        std::string text = "The send queue record " + m_spool.recordPath(id) +
                           " is damaged: " + why +
                           ".\n\nThe message it belongs to has not been sent";
        if (inOutbox) {
            markUnsent(file);
            text += "; it is still in the folder \"" + folderLeafName(m_store.outbox) +
                    "\" as an unsent message. Open it and send it again.";
        } else {
            text += ".";
        }
        text += "\n\nThe damaged record is kept as " + m_spool.recordPath(id) + ".damaged.\n";
        if (SUCCEEDED(deliverMessageBytes(
                inboxDir(), newUniqueName(),
                buildNotice(m_store.identityAddress, "A queued message could not be sent", text),
                ""))) {
            m_spool.setAside(id);
        }
    }

    const StoreConfig& m_store;
    Spool m_spool;
};

} // namespace

std::int64_t nowMs()
{
    timeval now{};
    gettimeofday(&now, nullptr);
    return std::int64_t{now.tv_sec} * 1000 + now.tv_usec / 1000;
}

void markUnsent(const MessageFile& file)
{
    gchar* sub = g_path_get_dirname(file.path.c_str());
    gchar* folder = g_path_get_dirname(sub);
    const std::uint32_t flags =
        MSGFLAG_UNSENT | (file.info.find('S') != std::string::npos ? MSGFLAG_READ : 0);
    const std::string dest =
        joinPath(folder, "cur/" + file.baseName + ":2," + infoLetters(file.info, flags));
    g_free(folder);
    g_free(sub);
    if (dest != file.path) {
        g_rename(file.path.c_str(), dest.c_str());
    }
}

std::int64_t runQueue(const StoreConfig& store, bool restart, const std::function<bool()>& stopping)
{
    return QueueRunner(store).run(
        restart, stopping ? stopping : [] { return false; });
}

Spooler::Spooler(std::vector<StoreConfig> stores)
    : m_stores(std::move(stores))
{
    {
        std::lock_guard lock(g_registryMutex);
        g_spoolers.push_back(this);
    }
    m_thread = std::thread([this] { run(); });
}

Spooler::~Spooler()
{
    {
        std::lock_guard lock(g_registryMutex);
        g_spoolers.erase(std::remove(g_spoolers.begin(), g_spoolers.end(), this), g_spoolers.end());
    }
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wakeUp.notify_all();
    m_thread.join();
}

void Spooler::wake()
{
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_wakeUp.notify_all();
}

void Spooler::wakeAll()
{
    std::lock_guard lock(g_registryMutex);
    for (Spooler* spooler : g_spoolers) {
        spooler->wake();
    }
}

void Spooler::run()
{
    bool restart = true;
    for (;;) {
        std::int64_t next = nowMs() + kPollMs;
        for (const StoreConfig& store : m_stores) {
            {
                std::lock_guard lock(m_mutex);
                if (m_stop) {
                    return;
                }
            }
            const std::int64_t due = runQueue(store, restart, [this] {
                std::lock_guard lock(m_mutex);
                return m_stop;
            });
            if (due != 0) {
                next = std::min(next, due);
            }
        }
        restart = false;
        std::unique_lock lock(m_mutex);
        const auto wait = std::chrono::milliseconds(std::max<std::int64_t>(next - nowMs(), 0));
        m_wakeUp.wait_for(lock, wait, [this] { return m_stop || m_woken; });
        if (m_stop) {
            return;
        }
        m_woken = false;
    }
}

} // namespace vntmapi
