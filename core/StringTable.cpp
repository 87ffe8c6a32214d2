#include "StringTable.h"

#include "EmbeddedResources.h"

#include <QFile>
#include <QList>

namespace {

QString unescape(const QByteArray& raw)
{
    const QString text = QString::fromUtf8(raw);
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text.at(++i);
        if (next == u'n') {
            out += u'\n';
        } else if (next == u't') {
            out += u'\t';
        } else if (next == u'\\') {
            out += u'\\';
        } else {
            out += c;
            out += next;
        }
    }
    return out;
}

} // namespace

const StringTable& StringTable::instance()
{
    static const StringTable table = [] {
        StringTable t;
        QFile file(EmbeddedResources::stringTable());
        if (file.open(QIODevice::ReadOnly)) {
            QString error;
            if (!t.parse(file.readAll(), &error))
                qWarning("String table: %s", qUtf8Printable(error));
        } else {
            qWarning("String table missing from the resources");
        }
        return t;
    }();
    return table;
}

bool StringTable::parse(const QByteArray& data, QString* error)
{
    int lineNumber = 0;
    for (QByteArray line : data.split('\n')) {
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype tab = line.indexOf('\t');
        bool ok = false;
        const int id = tab > 0 ? line.first(tab).toInt(&ok) : 0;
        if (!ok || m_entries.contains(id)) {
            if (error)
                *error = QStringLiteral("line %1: %2")
                             .arg(lineNumber)
                             .arg(ok ? QStringLiteral("duplicate id %1").arg(id)
                                     : QStringLiteral("no id"));
            return false;
        }
        m_entries.insert(id, unescape(line.sliced(tab + 1)));
    }
    return true;
}

bool StringTable::load(int id, QString* text) const
{
    const auto it = m_entries.constFind(id);
    if (it == m_entries.cend())
        return false;
    *text = *it;
    return true;
}

QString StringTable::text(int id) const
{
    return m_entries.value(id);
}

QString StringTable::text(int id, const QString& fallback) const
{
    const auto it = m_entries.constFind(id);
    return it == m_entries.cend() ? fallback : *it;
}

QString StringTable::statusPrompt(int commandId) const
{
    return text(commandId).section(u'\n', 0, 0);
}

QString StringTable::toolTip(int commandId) const
{
    const QString entry = text(commandId);
    const qsizetype cut = entry.indexOf(u'\n');
    return cut < 0 ? QString() : entry.mid(cut + 1);
}
