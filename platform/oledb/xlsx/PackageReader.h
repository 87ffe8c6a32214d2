#pragma once

#include "oledb/xlsx/XlsxPackage.h"

#include <QBuffer>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

class QuaZip;

namespace vnt::oledb::xlsx {

// A part inflated on another thread while its reader parses the bytes that have come, so
// that inflating a large sheet and reading its cells take the time of the longer one.
class PartStream
{
public:
    PartStream(const PartStream&) = delete;
    PartStream& operator=(const PartStream&) = delete;
    ~PartStream();

    // Waits until more than `size` bytes have come or the part is complete (`complete` is
    // then set); the bytes that have come.
    std::string_view waitForMore(size_t size, bool* complete);
    // The size its directory entry gives.
    qint64 expectedSize() const { return m_expected; }

private:
    friend class PackageReader;
    PartStream(QuaZip* zip, const QString& name, qint64 size);
    void run();
    // Waits for the end: false when the part could not be read whole as its directory
    // entry describes it.
    bool finish(QByteArray* data);

    QuaZip* m_zip;
    QString m_name;
    qint64 m_expected = 0;
    QByteArray m_data; // room for the size the directory gives, and one byte more
    char* m_bytes = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_grown;
    size_t m_available = 0;
    bool m_done = false;
    bool m_failed = false;
    std::thread m_thread;
};

// Reads a zip container but leaves its large parts pending, to be streamed while they are
// parsed or read when asked for. A pending part keeps its place among the package's names
// and has no content until it is read.
class PackageReader
{
public:
    // Parts from this size on are left pending.
    static constexpr qint64 kPendingSize = 1024 * 1024;

    PackageReader();
    ~PackageReader();

    // Reads the parts of the container `data` into `package`, but those from `pendingSize`
    // on (relationships always). False with `error` set as readPackage() sets it.
    bool open(const QByteArray& data, qint64 pendingSize, Package* package, QString* error);
    bool isPending(const QString& name) const { return m_pending.contains(name); }
    // Reads the pending part `name` now.
    bool read(const QString& name, Package* package, QString* error);
    // Reads every part still pending.
    bool readPending(Package* package, QString* error);
    // Starts inflating the pending part `name`; nothing else is read until it is taken.
    std::unique_ptr<PartStream> stream(const QString& name);
    // Waits for the end of the stream and puts its part into the package; false (the part
    // still pending) when it could not be read whole.
    bool take(std::unique_ptr<PartStream> stream, Package* package);

private:
    QByteArray m_data;
    QBuffer m_buffer;
    std::unique_ptr<QuaZip> m_zip;
    QHash<QString, qint64> m_pending; // name and size the directory gives
};

} // namespace vnt::oledb::xlsx
