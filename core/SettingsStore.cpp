#include "SettingsStore.h"

#include <QLoggingCategory>
#include <QSettings>

Q_LOGGING_CATEGORY(lcSettings, "vantrel.settings")

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QStringLiteral("Korvane"), QStringLiteral("Vantrel")))
{
    forgetDamagedLines();
}

SettingsStore::SettingsStore(const QString& path)
    : m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat))
{
    forgetDamagedLines();
}

void SettingsStore::forgetDamagedLines()
{
    // QSettings keeps a format error from reading for good, so every later flush would
    // look failed although it wrote. Sections are parsed lazily: parse them all now.
    // What did parse stays in QSettings' shared cache; a fresh object over the same file
    // starts without the error, and the next write leaves the damaged lines out.
    m_settings->allKeys();
    if (m_settings->status() != QSettings::FormatError)
        return;
    const QString path = m_settings->fileName();
    qCWarning(lcSettings, "Lines of %s that could not be read are dropped", qPrintable(path));
    m_settings.reset();
    m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
}

SettingsStore::~SettingsStore()
{
    m_settings->sync();
}

QString SettingsStore::key(const QString& section, const QString& name)
{
    return section + u'/' + name;
}

int SettingsStore::readInt(const QString& section, const QString& name, int fallback) const
{
    const QVariant value = m_settings->value(key(section, name));
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok);
    if (!ok)
        return fallback;
    return static_cast<int>(static_cast<quint32>(number));
}

QString SettingsStore::readString(const QString& section, const QString& name,
                                  const QString& fallback) const
{
    const QVariant value = m_settings->value(key(section, name));
    return value.isValid() ? value.toString() : fallback;
}

QByteArray SettingsStore::readBytes(const QString& section, const QString& name) const
{
    return m_settings->value(key(section, name)).toByteArray();
}

void SettingsStore::writeInt(const QString& section, const QString& name, int value)
{
    m_settings->setValue(key(section, name), value);
}

void SettingsStore::writeUnsigned(const QString& section, const QString& name, quint32 value)
{
    m_settings->setValue(key(section, name), value);
}

bool SettingsStore::writeString(const QString& section, const QString& name, const QString& value)
{
    m_settings->setValue(key(section, name), value);
    return flush();
}

bool SettingsStore::writeBytes(const QString& section, const QString& name, const QByteArray& value)
{
    m_settings->setValue(key(section, name), value);
    return flush();
}

bool SettingsStore::flush()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

bool SettingsStore::contains(const QString& section, const QString& name) const
{
    return m_settings->contains(key(section, name));
}

QString SettingsStore::fileName() const
{
    return m_settings->fileName();
}
