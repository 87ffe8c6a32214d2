#include "oledb/xlsx/XlsxPackage.h"

#include <QBuffer>
#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>
#include <zlib.h>

namespace vnt::oledb::xlsx {

namespace {

const QString kContentTypes = QStringLiteral("[Content_Types].xml");

bool readCurrentPart(QuaZip& zip, qint64* total, Package* package, QString* error)
{
    QuaZipFileInfo64 info;
    if (!zip.getCurrentFileInfo(&info)) {
        *error = QStringLiteral("the zip directory is damaged");
        return false;
    }
    *total += qint64(info.uncompressedSize);
    if (qint64(info.uncompressedSize) > kMaxPartSize || *total > kMaxPackageSize) {
        *error = QStringLiteral("the part '%1' is too large").arg(info.name);
        return false;
    }
    if (info.name.endsWith(QLatin1Char('/')))
        return true;
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the part '%1' cannot be read").arg(info.name);
        return false;
    }
    // Read in pieces: the sizes in the zip directory may lie.
    QByteArray data;
    data.reserve(qsizetype(qMin<quint64>(info.uncompressedSize, kMaxPartSize)));
    while (data.size() <= kMaxPartSize) {
        const QByteArray piece = file.read(64 * 1024);
        if (piece.isEmpty())
            break;
        data += piece;
    }
    file.close();
    if (file.getZipError() != 0 || data.size() > kMaxPartSize) {
        *error = QStringLiteral("the part '%1' is damaged").arg(info.name);
        return false;
    }
    package->setPart(info.name, data);
    return true;
}

bool writePart(QuaZip& zip, const QString& name, const QByteArray& data)
{
    QuaZipFile file(&zip);
    QuaZipNewInfo info(name);
    info.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    // The fastest deflate level: the workbook is written after every change.
    if (!file.open(QIODevice::WriteOnly, info, nullptr, 0, Z_DEFLATED, Z_BEST_SPEED))
        return false;
    const bool written = file.write(data) == data.size();
    file.close();
    return written && file.getZipError() == 0;
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
    QBuffer buffer;
    buffer.setData(data);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdUnzip)) {
        *error = QStringLiteral("it is not a zip container");
        return false;
    }
    qint64 total = 0;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        if (!readCurrentPart(zip, &total, package, error))
            return false;
    }
    if (zip.getZipError() != 0) {
        *error = QStringLiteral("the zip directory is damaged");
        return false;
    }
    return true;
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
