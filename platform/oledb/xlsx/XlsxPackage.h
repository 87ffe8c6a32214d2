#pragma once

#include <QByteArray>
#include <QHash>
#include <QStringList>

namespace vnt::oledb::xlsx {

// The parts of a workbook's zip container, in their order in the container.
struct Package
{
    QStringList names;
    QHash<QString, QByteArray> parts;

    bool contains(const QString& name) const { return parts.contains(name); }
    QByteArray part(const QString& name) const { return parts.value(name); }
    void setPart(const QString& name, const QByteArray& data);
    void removePart(const QString& name);
};

// Limits that keep a hostile container from exhausting memory.
constexpr qint64 kMaxPartSize = 256 * 1024 * 1024;
constexpr qint64 kMaxPackageSize = 512 * 1024 * 1024;

// Reads the container held in `data`. False with `error` set when it is not a zip
// container or a part is too large.
bool readPackage(const QByteArray& data, Package* package, QString* error);

// The container's bytes, "[Content_Types].xml" first as consumers expect.
bool writePackage(const Package& package, QByteArray* data, QString* error);

} // namespace vnt::oledb::xlsx
