#pragma once

#include "core/CSupportDoc.h"
#include "core/SettingsStore.h"
#include "core/TextFiles.h"
#include "topics/TopicStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace topicstest {

using namespace Qt::StringLiterals;

inline void put(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A file whose name is given as raw bytes, valid UTF-8 or not.
inline void putNative(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
}

inline QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The settings and document of a program directory `home` (ending in "/"), loaded with
// the given outgoing text format.
struct Document
{
    explicit Document(const QString& home, int outgoingFormat = 0)
        : store(home + u"settings.ini"_s)
        , doc(store, home)
    {
        store.writeInt(SettingsStore::kInternalData, u"Outgoing text type"_s, outgoingFormat);
        doc.LoadSettings();
    }
    SettingsStore store;
    CSupportDoc doc;
};

} // namespace topicstest
