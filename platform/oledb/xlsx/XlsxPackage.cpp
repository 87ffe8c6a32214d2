#include "oledb/xlsx/XlsxPackage.h"

#include "oledb/xlsx/PackageReader.h"

#include <QBuffer>
#include <algorithm>
#include <limits>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>
#include <thread>
#include <vector>
#include <zlib.h>

namespace vnt::oledb::xlsx {

namespace {

const QString kContentTypes = QStringLiteral("[Content_Types].xml");
// Parts from this size on are compressed in pieces side by side.
constexpr qsizetype kParallelDeflateSize = 4 * 1024 * 1024;

// Raw deflate of `size` bytes at `data`, ending on a byte boundary (a sync flush) unless
// `last`, so that pieces compressed apart join into one stream.
bool deflatePiece(const char* data, qsizetype size, bool last, QByteArray* out)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out->resize(qsizetype(deflateBound(&stream, uLong(size))) + 64);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream.avail_in = uInt(size);
    stream.next_out = reinterpret_cast<Bytef*>(out->data());
    stream.avail_out = uInt(out->size());
    const int rc = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool done = last ? rc == Z_STREAM_END : rc == Z_OK && stream.avail_in == 0;
    out->resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return done;
}

// Compresses a large part in pieces side by side, one for each processor; its CRC too.
bool deflateInParallel(const QByteArray& data, QByteArray* compressed, quint32* crc)
{
    const int count = int(qBound(1u, std::thread::hardware_concurrency(), 8u));
    const qsizetype pieceSize = (data.size() + count - 1) / count;
    std::vector<QByteArray> pieces(static_cast<size_t>(count));
    std::vector<uLong> crcs(static_cast<size_t>(count));
    std::vector<char> done(static_cast<size_t>(count), 0);
    const auto compress = [&](int i) {
        const qsizetype start = i * pieceSize;
        const qsizetype size = qMin(pieceSize, data.size() - start);
        const auto* bytes = reinterpret_cast<const Bytef*>(data.constData() + start);
        crcs[size_t(i)] = crc32_z(crc32(0, nullptr, 0), bytes, size_t(size));
        done[size_t(i)] =
            deflatePiece(data.constData() + start, size, i == count - 1, &pieces[size_t(i)]);
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < count; ++i)
        helpers.emplace_back(compress, i);
    compress(0);
    for (std::thread& helper : helpers)
        helper.join();
    if (std::count(done.begin(), done.end(), 0) > 0)
        return false;
    uLong combined = crcs[0];
    for (int i = 1; i < count; ++i)
        combined = crc32_combine(combined, crcs[size_t(i)],
                                 z_off_t(qMin(pieceSize, data.size() - i * pieceSize)));
    *crc = quint32(combined);
    compressed->clear();
    for (const QByteArray& piece : pieces)
        compressed->append(piece);
    return true;
}

bool writePart(QuaZip& zip, const QString& name, const QByteArray& data)
{
    QuaZipFile file(&zip);
    QuaZipNewInfo info(name);
    info.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    // A large sheet is compressed on every processor; the data goes in as it is.
    quint32 crc = 0;
    QByteArray compressed;
    const bool raw =
        data.size() >= kParallelDeflateSize && deflateInParallel(data, &compressed, &crc);
    if (raw)
        info.uncompressedSize = quint64(data.size());
    // The fastest deflate level: the workbook is written after every change.
    if (!file.open(QIODevice::WriteOnly, info, nullptr, crc, Z_DEFLATED, Z_BEST_SPEED, raw))
        return false;
    const QByteArray& written = raw ? compressed : data;
    const bool complete = file.write(written) == written.size();
    file.close();
    return complete && file.getZipError() == 0;
}

} // namespace

void Package::setPart(const QString& name, const QByteArray& data)
{
    if (!parts.contains(name))
        names.append(name);
    parts.insert(name, data);
}

void Package::removePart(const QString& name)
{
    names.removeAll(name);
    parts.remove(name);
}

bool readPackage(const QByteArray& data, Package* package, QString* error)
{
    PackageReader reader;
    return reader.open(data, std::numeric_limits<qint64>::max(), package, error);
}

bool writePackage(const Package& package, QByteArray* data, QString* error)
{
    QBuffer buffer(data);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdCreate)) {
        *error = QStringLiteral("the zip container cannot be created");
        return false;
    }
    QStringList names = package.names;
    if (names.removeAll(kContentTypes) > 0)
        names.prepend(kContentTypes);
    for (const QString& name : names) {
        if (!writePart(zip, name, package.parts.value(name))) {
            *error = QStringLiteral("the part '%1' cannot be written").arg(name);
            return false;
        }
    }
    zip.close();
    if (zip.getZipError() != 0) {
        *error = QStringLiteral("the zip container cannot be completed");
        return false;
    }
    return true;
}

} // namespace vnt::oledb::xlsx
