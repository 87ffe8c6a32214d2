#include "registry/RegistryTree.h"

namespace vnt::registry {

namespace {

QString canonicalRoot(const QString& name)
{
    const QString folded = foldName(name);
    if (folded == u"hkey_local_machine" || folded == u"hklm") {
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    }
    if (folded == u"hkey_current_user" || folded == u"hkcu") {
        return QStringLiteral("HKEY_CURRENT_USER");
    }
    return {};
}

QStringList keyPath(const QString& text)
{
    QStringList parts = text.split(u'\\', Qt::SkipEmptyParts);
    if (parts.isEmpty()) {
        return {};
    }
    parts[0] = canonicalRoot(parts[0]);
    return parts[0].isEmpty() ? QStringList() : parts;
}

// Reads a quoted string starting at `pos` (on the opening quote); moves `pos` past the
// closing quote. False when the string does not end.
bool readQuoted(const QString& line, qsizetype& pos, QString* text)
{
    text->clear();
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == u'"') {
            ++pos;
            return true;
        }
        if (c == u'\\' && pos + 1 < line.size()) {
            const QChar next = line[++pos];
            text->append(next == u'n'   ? QChar(u'\n')
                         : next == u'r' ? QChar(u'\r')
                         : next == u't' ? QChar(u'\t')
                         : next == u'0' ? QChar(u'\0')
                                        : next);
        } else {
            text->append(c);
        }
    }
    return false;
}

QString quoted(const QString& text)
{
    QString result = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            result += u"\\\\";
            break;
        case u'"':
            result += u"\\\"";
            break;
        case u'\n':
            result += u"\\n";
            break;
        case u'\r':
            result += u"\\r";
            break;
        case u'\t':
            result += u"\\t";
            break;
        case u'\0':
            result += u"\\0";
            break;
        default:
            result += c;
        }
    }
    return result + u'"';
}

std::optional<QByteArray> parseHexBytes(const QString& text)
{
    QByteArray bytes;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const uint byte = part.trimmed().toUInt(&ok, 16);
        if (!ok || byte > 0xFF) {
            return std::nullopt;
        }
        bytes.append(char(byte));
    }
    return bytes;
}

// The value written after '=': nullopt for a damaged one; a value of type REG_NONE with
// `removed` set for "-".
std::optional<RegistryValue> parseValue(const QString& text, bool* removed)
{
    *removed = false;
    if (text == u"-") {
        *removed = true;
        return RegistryValue{};
    }
    QString body = text;
    std::uint32_t stringType = REG_SZ;
    if (body.startsWith(u"str(2):")) {
        stringType = REG_EXPAND_SZ;
        body = body.mid(7);
    }
    if (body.startsWith(u'"')) {
        qsizetype pos = 0;
        QString string;
        if (!readQuoted(body, pos, &string) || pos != body.size()) {
            return std::nullopt;
        }
        return stringType == REG_SZ ? RegistryValue::string(string)
                                    : RegistryValue::expandString(string);
    }
    if (body.startsWith(u"dword:")) {
        bool ok = false;
        const QString digits = body.mid(6);
        const uint number = digits.toUInt(&ok, 16);
        return ok && digits.size() <= 8 ? std::optional(RegistryValue::dword(number))
                                        : std::nullopt;
    }
    std::uint32_t type = REG_BINARY;
    if (body.startsWith(u"hex(")) {
        const qsizetype close = body.indexOf(u"):");
        bool ok = false;
        type = close < 0 ? 0 : body.mid(4, close - 4).toUInt(&ok, 16);
        if (!ok) {
            return std::nullopt;
        }
        body = body.mid(close + 2);
    } else if (body.startsWith(u"hex:")) {
        body = body.mid(4);
    } else {
        return std::nullopt;
    }
    const std::optional<QByteArray> bytes = parseHexBytes(body);
    return bytes ? std::optional(RegistryValue{type, *bytes}) : std::nullopt;
}

QString valueText(const RegistryValue& value)
{
    const qsizetype nul = value.data.indexOf('\0');
    const bool plainText = value.isString() && nul == value.data.size() - 1 &&
                           QString::fromUtf8(value.data.left(nul)).toUtf8() == value.data.left(nul);
    if (plainText) {
        return (value.type == REG_EXPAND_SZ ? QStringLiteral("str(2):") : QString()) +
               quoted(value.toString());
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        return QStringLiteral("dword:%1").arg(value.toNumber(), 8, 16, QChar(u'0'));
    }
    QString text = value.type == REG_BINARY ? QStringLiteral("hex:")
                                            : QStringLiteral("hex(%1):").arg(value.type, 0, 16);
    for (qsizetype i = 0; i < value.data.size(); ++i) {
        text += QStringLiteral("%1%2")
                    .arg(i ? QStringLiteral(",") : QString())
                    .arg(uchar(value.data[i]), 2, 16, QChar(u'0'));
    }
    return text;
}

void serializeNode(const RegistryNode& node, const QString& path, QString* out)
{
    if (node.hidesBase) {
        *out += QStringLiteral("[-%1]\n\n").arg(path);
    }
    if (node.exists) {
        *out += QStringLiteral("[%1]\n").arg(path);
        for (const auto& [folded, entry] : node.values) {
            const QString name = entry.first.isEmpty() ? QStringLiteral("@") : quoted(entry.first);
            *out += name + u'=' + (entry.second ? valueText(*entry.second) : QStringLiteral("-")) +
                    u'\n';
        }
        *out += u'\n';
    }
    for (const auto& [folded, child] : node.children) {
        serializeNode(*child, path + u'\\' + child->name, out);
    }
}

} // namespace

QString foldName(const QString& name)
{
    return name.toCaseFolded();
}

RegistryNode* RegistryNode::child(const QString& name) const
{
    const auto it = children.find(foldName(name));
    return it == children.end() ? nullptr : it->second.get();
}

RegistryNode* RegistryNode::ensureChild(const QString& name)
{
    std::unique_ptr<RegistryNode>& slot = children[foldName(name)];
    if (!slot) {
        slot = std::make_unique<RegistryNode>();
        slot->name = name;
    }
    return slot.get();
}

RegistryTree RegistryTree::parse(const QByteArray& text, int* damagedLines)
{
    RegistryTree tree;
    int damaged = 0;
    RegistryNode* current = nullptr;
    const QStringList rawLines = QString::fromUtf8(text).split(u'\n');
    for (qsizetype i = 0; i < rawLines.size(); ++i) {
        QString line = rawLines[i].trimmed();
        while (line.endsWith(u'\\') && !line.startsWith(u'[') && i + 1 < rawLines.size()) {
            line.chop(1);
            line += rawLines[++i].trimmed();
        }
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            current = nullptr;
            const bool remove = line.startsWith(u"[-");
            const QStringList path =
                line.endsWith(u']') ? keyPath(line.mid(remove ? 2 : 1).chopped(1)) : QStringList();
            if (path.isEmpty()) {
                ++damaged;
            } else if (remove) {
                tree.removeKey(path, true);
            } else {
                current = tree.createKey(path);
            }
            continue;
        }
        QString name;
        qsizetype pos = 0;
        if (line.startsWith(u'@')) {
            pos = 1;
        } else if (!line.startsWith(u'"') || !readQuoted(line, pos, &name)) {
            ++damaged;
            continue;
        }
        bool removed = false;
        std::optional<RegistryValue> value;
        if (pos < line.size() && line[pos] == u'=') {
            value = parseValue(line.mid(pos + 1).trimmed(), &removed);
        }
        if (!current || !value) {
            ++damaged;
            continue;
        }
        current->values[foldName(name)] = {name, removed ? std::nullopt : value};
    }
    if (damagedLines) {
        *damagedLines = damaged;
    }
    return tree;
}

QByteArray RegistryTree::serialize() const
{
    QString out;
    for (const auto& [folded, child] : m_root.children) {
        serializeNode(*child, child->name, &out);
    }
    return out.toUtf8();
}

RegistryNode* RegistryTree::find(const QStringList& path) const
{
    const RegistryNode* node = &m_root;
    for (const QString& part : path) {
        node = node->child(part);
        if (!node) {
            return nullptr;
        }
    }
    return const_cast<RegistryNode*>(node);
}

RegistryNode* RegistryTree::ensure(const QStringList& path)
{
    RegistryNode* node = &m_root;
    for (const QString& part : path) {
        node = node->ensureChild(part);
    }
    return node;
}

RegistryNode* RegistryTree::createKey(const QStringList& path)
{
    RegistryNode* node = &m_root;
    for (const QString& part : path) {
        node = node->ensureChild(part);
        node->exists = true;
    }
    return node;
}

void RegistryTree::removeKey(const QStringList& path, bool hideBase)
{
    RegistryNode* node = ensure(path);
    node->exists = false;
    node->values.clear();
    node->children.clear();
    node->hidesBase = node->hidesBase || hideBase;
}

bool RegistryTree::hidesBase(const QStringList& path) const
{
    const RegistryNode* node = &m_root;
    for (const QString& part : path) {
        node = node->child(part);
        if (!node) {
            return false;
        }
        if (node->hidesBase) {
            return true;
        }
    }
    return false;
}

} // namespace vnt::registry
