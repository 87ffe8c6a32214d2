#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class QSettings;

// The user's settings: sections of named integer and string values, kept by QSettings
// under the organisation "Korvane" and the application "Vantrel".
class SettingsStore
{
public:
    static inline const QString kInternalData = QStringLiteral("Internal data");
    static inline const QString kColumnData = QStringLiteral("Column data");
    static inline const QString kWindowSize = QStringLiteral("Window size");
    static inline const QString kBarState = QStringLiteral("Bar state");

    // The user's own settings.
    SettingsStore();
    // Settings in the INI file at `path` (tests, portable set-ups).
    explicit SettingsStore(const QString& path);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // `fallback` when the value is missing or is not a whole number. Values are 32-bit
    // and wrap like registry double words, so 4294967295 reads as -1.
    int readInt(const QString& section, const QString& name, int fallback) const;
    QString readString(const QString& section, const QString& name,
                       const QString& fallback = {}) const;
    QByteArray readBytes(const QString& section, const QString& name) const;

    // Integer writes are flushed with the next string write or at the end; their
    // failures are not reported.
    void writeInt(const QString& section, const QString& name, int value);
    void writeUnsigned(const QString& section, const QString& name, quint32 value);
    // Writes and flushes to disk; false when the value could not be stored.
    bool writeString(const QString& section, const QString& name, const QString& value);
    bool writeBytes(const QString& section, const QString& name, const QByteArray& value);

    // Flushes pending writes; false when the store could not be written.
    bool flush();
    bool contains(const QString& section, const QString& name) const;
    QString fileName() const;

private:
    void forgetDamagedLines();
    static QString key(const QString& section, const QString& name);

    std::unique_ptr<QSettings> m_settings;
};
