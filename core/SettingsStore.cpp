#include "SettingsStore.h"

#include <QSettings>

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QStringLiteral("Korvane"), QStringLiteral("Vantrel")))
{}

SettingsStore::SettingsStore(const QString& path)
    : m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat))
{}

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
