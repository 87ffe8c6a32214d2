// Shared by the notification tests: an advise sink that copies what it is told, since the
// notification memory lives only during OnNotify, and notes whether it was called from inside
// a library call; and the small fixtures those tests build their Maildirs with.
#pragma once

#include "MapiFixture.h"

#include <QProcess>
#include <QThread>
#include <functional>
#include <vector>

namespace mapitest {

// Events from another process must arrive within this.
constexpr int kLatencyMs = 1000;

inline QDateTime day(int d)
{
    return QDateTime(QDate(2024, 3, d), QTime(9, 0), Qt::UTC);
}

inline QByteArray mail(const char* subject)
{
    return email(QByteArray("From: Ann <ann@example.org>\r\nSubject: ") + subject + "\r\n");
}

// Runs `command` in another process, as a mail client or delivery agent would change the folder.
inline int shell(const QString& command)
{
    return QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), command});
}

// Set around library calls by the tests; a sink called while it is set was called re-entrantly.
inline bool& insideLibraryCall()
{
    static bool inside = false;
    return inside;
}

// Runs `call` with insideLibraryCall() set.
template<typename F>
auto guarded(F&& call)
{
    insideLibraryCall() = true;
    auto result = call();
    insideLibraryCall() = false;
    return result;
}

struct Seen
{
    ULONG eventType = 0;
    ULONG tableEvent = 0;
    QByteArray key;
    QByteArray prior;
    bool hasPrior = false;
    QString subject;
    LONG flags = -1;
    QByteArray entryId;
    QByteArray parentId;
    ULONG objectType = 0;
    bool reentrant = false;
    QThread* thread = nullptr;
};

class RecordingSink : public IMAPIAdviseSink
{
public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    ULONG refs() const { return m_refs; }

    ULONG OnNotify(ULONG count, LPNOTIFICATION notifications) override
    {
        for (ULONG i = 0; i < count; ++i) {
            seen.push_back(copy(notifications[i]));
            if (onSeen) {
                onSeen(seen.back());
            }
        }
        return 0;
    }

    // Events other than the table-wide "done" ones, which the tests check on their own.
    std::vector<Seen> rowEvents() const
    {
        std::vector<Seen> rows;
        for (const Seen& s : seen) {
            if (s.tableEvent >= TABLE_ROW_ADDED && s.tableEvent <= TABLE_ROW_MODIFIED) {
                rows.push_back(s);
            }
        }
        return rows;
    }

    std::vector<Seen> seen;
    std::function<void(const Seen&)> onSeen; // runs inside OnNotify

private:
    static Seen copy(const NOTIFICATION& n)
    {
        Seen s;
        s.eventType = n.ulEventType;
        s.reentrant = insideLibraryCall();
        s.thread = QThread::currentThread();
        if (n.ulEventType == fnevTableModified) {
            const TABLE_NOTIFICATION& t = n.info.tab;
            s.tableEvent = t.ulTableEvent;
            s.key = binary(&t.propIndex);
            s.hasPrior = PROP_ID(t.propPrior.ulPropTag) == PROP_ID(PR_INSTANCE_KEY);
            s.prior = s.hasPrior ? binary(&t.propPrior) : QByteArray();
            s.subject = text(findValue(t.row, PR_SUBJECT));
            const SPropValue* flags = findValue(t.row, PR_MESSAGE_FLAGS);
            s.flags = isError(flags) ? -1 : flags->Value.l;
            s.entryId = binary(findValue(t.row, PR_ENTRYID));
        } else {
            const OBJECT_NOTIFICATION& o = n.info.obj;
            s.objectType = o.ulObjType;
            s.entryId = QByteArray(reinterpret_cast<const char*>(o.lpEntryID),
                                   static_cast<int>(o.cbEntryID));
            s.parentId = QByteArray(reinterpret_cast<const char*>(o.lpParentID),
                                    static_cast<int>(o.cbParentID));
        }
        return s;
    }

    ULONG m_refs = 1;
};

} // namespace mapitest
