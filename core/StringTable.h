#pragma once

#include <QHash>
#include <QString>

// The numbered texts of the program: messages, titles, labels, tooltips and the
// status-bar prompts of the commands. Loaded once from the embedded table.
class StringTable
{
public:
    // The program's own table, loaded on first use.
    static const StringTable& instance();

    // Parses the "id<TAB>text" format; `error` names the first bad line.
    bool parse(const QByteArray& data, QString* error = nullptr);

    // Like the framework's string loader: false when the id has no entry.
    bool load(int id, QString* text) const;
    // The entry, or an empty string when there is none.
    QString text(int id) const;
    // The entry, or `fallback` when there is none.
    QString text(int id, const QString& fallback) const;
    bool contains(int id) const { return m_entries.contains(id); }
    qsizetype size() const { return m_entries.size(); }

    // Command prompts hold "status-bar text\ntooltip".
    QString statusPrompt(int commandId) const;
    QString toolTip(int commandId) const;

private:
    QHash<int, QString> m_entries;
};
