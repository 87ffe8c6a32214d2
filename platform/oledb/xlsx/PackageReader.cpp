#include "oledb/xlsx/PackageReader.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

namespace vnt::oledb::xlsx {

namespace {

// How much a stream inflates before it says so.
constexpr qint64 kStreamPiece = 256 * 1024;

// Inflates the current part of `zip` into `data`, room made for the size its directory
// entry gives and more when it lies.
bool inflateCurrentPart(QuaZip& zip, const QString& name, quint64 declared, QByteArray* data,
                        QString* error)
{
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the part '%1' cannot be read").arg(name);
        return false;
    }
    *data = QByteArray(qsizetype(qMin<quint64>(declared, kMaxPartSize)) + 1, Qt::Uninitialized);
    qsizetype size = 0;
    while (size <= kMaxPartSize) {
        if (size == data->size())
            data->resize(qMin<qsizetype>(data->size() * 2, kMaxPartSize + 1));
        const qint64 read = file.read(data->data() + size, data->size() - size);
        if (read <= 0)
            break;
        size += qsizetype(read);
    }
    data->resize(qMin(size, kMaxPartSize + 1));
    if (data->capacity() - data->size() > 64 * 1024)
        data->squeeze(); // the directory promised more than there was
    file.close();
    if (file.getZipError() != 0 || data->size() > kMaxPartSize) {
        *error = QStringLiteral("the part '%1' is damaged").arg(name);
        return false;
    }
    return true;
}

} // namespace

PartStream::PartStream(QuaZip* zip, const QString& name, qint64 size)
    : m_zip(zip)
    , m_name(name)
    , m_expected(size)
    , m_data(qsizetype(size) + 1, Qt::Uninitialized)
    , m_bytes(m_data.data())
{
    m_thread = std::thread([this] { run(); });
}

PartStream::~PartStream()
{
    if (m_thread.joinable())
        m_thread.join();
}

void PartStream::run()
{
    QuaZipFile file(m_zip);
    bool failed = !m_zip->setCurrentFile(m_name) || !file.open(QIODevice::ReadOnly);
    const qint64 room = m_data.size();
    qint64 size = 0;
    while (!failed && size < room) {
        const qint64 read = file.read(m_bytes + size, qMin(kStreamPiece, room - size));
        if (read <= 0)
            break;
        size += read;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_available = size_t(size);
        }
        m_grown.notify_all();
    }
    if (!failed) {
        file.close();
        // The part is larger than its directory entry says when it fills the extra byte.
        failed = file.getZipError() != 0 || size == room;
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_done = true;
        m_failed = failed;
    }
    m_grown.notify_all();
}

std::string_view PartStream::waitForMore(size_t size, bool* complete)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_grown.wait(lock, [&] { return m_available > size || m_done; });
    *complete = m_done;
    return {m_bytes, m_available};
}

bool PartStream::finish(QByteArray* data)
{
    m_thread.join();
    if (m_failed)
        return false;
    m_data.resize(qsizetype(m_available));
    *data = std::move(m_data);
    return true;
}

PackageReader::PackageReader() = default;

PackageReader::~PackageReader() = default;

bool PackageReader::open(const QByteArray& data, qint64 pendingSize, Package* package,
                         QString* error)
{
    m_data = data;
    m_buffer.setData(m_data);
    m_zip = std::make_unique<QuaZip>(&m_buffer);
    if (!m_zip->open(QuaZip::mdUnzip)) {
        *error = QStringLiteral("it is not a zip container");
        return false;
    }
    qint64 total = 0;
    for (bool more = m_zip->goToFirstFile(); more; more = m_zip->goToNextFile()) {
        QuaZipFileInfo64 info;
        if (!m_zip->getCurrentFileInfo(&info)) {
            *error = QStringLiteral("the zip directory is damaged");
            return false;
        }
        const qint64 size = qint64(info.uncompressedSize);
        total += size;
        if (size > kMaxPartSize || total > kMaxPackageSize) {
            *error = QStringLiteral("the part '%1' is too large").arg(info.name);
            return false;
        }
        if (info.name.endsWith(QLatin1Char('/')))
            continue;
        // A name listed twice is read where it comes, the later winning, as it is found by
        // name only when it is listed once.
        const bool seen = package->contains(info.name);
        m_pending.remove(info.name);
        if (size >= pendingSize && !seen && !info.name.endsWith(QLatin1String(".rels"))) {
            m_pending.insert(info.name, size);
            package->setPart(info.name, QByteArray());
            continue;
        }
        QByteArray part;
        if (!inflateCurrentPart(*m_zip, info.name, info.uncompressedSize, &part, error))
            return false;
        package->setPart(info.name, part);
    }
    if (m_zip->getZipError() != 0) {
        *error = QStringLiteral("the zip directory is damaged");
        return false;
    }
    return true;
}

bool PackageReader::read(const QString& name, Package* package, QString* error)
{
    const auto pending = m_pending.constFind(name);
    if (pending == m_pending.constEnd())
        return true;
    QByteArray part;
    if (!m_zip->setCurrentFile(name)) {
        *error = QStringLiteral("the part '%1' cannot be read").arg(name);
        return false;
    }
    if (!inflateCurrentPart(*m_zip, name, quint64(*pending), &part, error))
        return false;
    package->setPart(name, part);
    m_pending.remove(name);
    return true;
}

bool PackageReader::readPending(Package* package, QString* error)
{
    const QStringList names = package->names;
    for (const QString& name : names) {
        if (isPending(name) && !read(name, package, error))
            return false;
    }
    return true;
}

std::unique_ptr<PartStream> PackageReader::stream(const QString& name)
{
    return std::unique_ptr<PartStream>(new PartStream(m_zip.get(), name, m_pending.value(name)));
}

bool PackageReader::take(std::unique_ptr<PartStream> stream, Package* package)
{
    QByteArray part;
    if (!stream->finish(&part))
        return false;
    package->setPart(stream->m_name, part);
    m_pending.remove(stream->m_name);
    return true;
}

} // namespace vnt::oledb::xlsx
