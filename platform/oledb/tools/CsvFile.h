#pragma once

#include <QList>
#include <QString>
#include <QVariant>

// CSV as RFC 4180 has it: comma separated, fields in double quotes when they hold commas,
// quotes or line breaks. An empty field without quotes stands for null, "" for an empty
// text, so that both survive an export and an import.
class CsvReader
{
public:
    explicit CsvReader(QString text);

    bool atEnd() const { return m_position >= m_text.size(); }
    // Whether reading stopped at a quote that is never closed.
    bool hasError() const { return m_error; }
    // The fields of the next record: null or QString. False at the end or on a quote
    // that is never closed.
    bool readRecord(QList<QVariant>* fields);
    int line() const { return m_line; }

private:
    bool readQuoted(QString* field);

    QString m_text;
    qsizetype m_position = 0;
    int m_line = 1;
    bool m_error = false;
};

QString csvField(const QVariant& value);
QString csvRecord(const QList<QVariant>& fields);
