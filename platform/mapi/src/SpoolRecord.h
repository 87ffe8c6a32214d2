// The send queue of a store: beside each submitted message waits a record of its state and
// the bytes that go out, in the Outbox's "vantrel-spool" folder (which Maildir readers skip).
// Records are replaced whole through a temporary file, and each carries a checksum, so a
// record is either read as written or known to be damaged.
#pragma once

#include "Profiles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vnt::fileio {
class FileLock;
}

namespace vntmapi {

struct SpoolRecord
{
    enum class State {
        Queued,  // waiting; may be aborted
        Sending, // handed to the transport by the process `owner`
        Sent,    // the transport answered; what follows (Sent copy, report) may be unfinished
    };

    State state = State::Queued;
    std::string message;                 // unique name in the Outbox; empty for a read receipt
    std::string from;                    // envelope sender, empty for a null return path
    std::vector<std::string> recipients; // still to be sent to
    std::vector<std::string> refused;    // for good, to be named in a report
    std::vector<std::string> accepted;   // by the server so far
    std::string subject;                 // for reports, when the message is gone
    std::string afterSent;               // the folder of the sent copy; empty: delete it
    std::string reportName;              // unique name of the report once it is decided
    std::string lastReply;               // the server's last answer
    std::string lastReason;              // what went wrong, in words
    int attempts = 0;
    std::int64_t submitted = 0; // unix seconds
    std::int64_t nextTry = 0;   // unix milliseconds
    std::int64_t owner = 0;     // process id while Sending
};

enum class RecordRead { Ok, Missing, Damaged };

class Spool
{
public:
    explicit Spool(const StoreConfig& store);

    bool isValid() const { return !m_dir.empty(); }
    const std::string& directory() const { return m_dir; }

    // Ids (Outbox unique names or receipt names) that have a record, sorted.
    std::vector<std::string> ids() const;

    // `why` says what is wrong with a damaged record.
    RecordRead read(const std::string& id, SpoolRecord* record, std::string* why = nullptr) const;
    // `durable`: on disk before this returns; a record only marking work in progress need not be.
    HRESULT write(const std::string& id, const SpoolRecord& record, bool durable = true) const;
    // The bytes to send, written before the record that makes them queued.
    HRESULT writeMessage(const std::string& id, const std::string& bytes) const;
    bool readMessage(const std::string& id, std::string* bytes) const;
    // Removes the record first: without it the message is no longer queued.
    void remove(const std::string& id) const;
    // Sets a damaged record aside, so that it is reported once and kept for inspection.
    void setAside(const std::string& id) const;
    std::string recordPath(const std::string& id) const;

    // The queue's lock, taken by every process that reads and changes records.
    bool lock(vnt::fileio::FileLock* lock) const;

private:
    std::string m_dir;
};

// Whether the Outbox message `baseName` waits in the send queue (or is being sent).
bool isQueued(const StoreConfig& store, const std::string& baseName);

std::string encodeRecord(const SpoolRecord& record);
// False when the text is not a whole record as written; `why` then says why.
bool decodeRecord(const std::string& text, SpoolRecord* record, std::string* why);

} // namespace vntmapi
