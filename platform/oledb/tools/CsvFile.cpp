#include "CsvFile.h"

#include <QStringList>

CsvReader::CsvReader(QString text)
    : m_text(std::move(text))
{
    if (m_text.startsWith(QChar(0xFEFF)))
        m_text.remove(0, 1);
}

bool CsvReader::readQuoted(QString* field)
{
    for (++m_position; m_position < m_text.size(); ++m_position) {
        const QChar c = m_text[m_position];
        if (c == QLatin1Char('"')) {
            if (m_position + 1 < m_text.size() && m_text[m_position + 1] == QLatin1Char('"')) {
                field->append(c);
                ++m_position;
                continue;
            }
            ++m_position;
            return true;
        }
        if (c == QLatin1Char('\n'))
            ++m_line;
        field->append(c);
    }
    return false;
}

bool CsvReader::readRecord(QList<QVariant>* fields)
{
    fields->clear();
    if (atEnd())
        return false;
    for (;;) {
        QString field;
        bool quoted = false;
        if (m_position < m_text.size() && m_text[m_position] == QLatin1Char('"')) {
            if (!readQuoted(&field)) {
                m_error = true;
                return false;
            }
            quoted = true;
        }
        QString rest;
        while (m_position < m_text.size() && m_text[m_position] != QLatin1Char(',') &&
               m_text[m_position] != QLatin1Char('\n'))
            rest.append(m_text[m_position++]);
        if (rest.endsWith(QLatin1Char('\r')))
            rest.chop(1);
        field += rest;
        fields->append(quoted || !field.isEmpty() ? QVariant(field) : QVariant());
        if (m_position >= m_text.size() || m_text[m_position++] == QLatin1Char('\n')) {
            ++m_line;
            return true;
        }
    }
}

QString csvField(const QVariant& value)
{
    if (value.isNull())
        return {};
    QString text = value.toString();
    if (!text.isEmpty() && !text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString csvRecord(const QList<QVariant>& fields)
{
    QStringList texts;
    for (const QVariant& field : fields)
        texts.append(csvField(field));
    return texts.join(QLatin1Char(',')) + QLatin1String("\r\n");
}
