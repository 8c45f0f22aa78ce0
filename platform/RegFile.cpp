// SPDX-License-Identifier: MIT
#include "RegFile.h"

#include <QStringDecoder>

#include <algorithm>

namespace zv {

namespace {

const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");
constexpr int kWrapColumn = 78; // hex lines stay within 80 columns, the "\" included

bool sameName(const QString &a, const QString &b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

std::vector<RegHiveKey>::iterator lowerBound(std::vector<RegHiveKey> &keys, const QString &name) {
    return std::lower_bound(keys.begin(), keys.end(), name,
                            [](const RegHiveKey &k, const QString &n) {
                                return QString::compare(k.name, n, Qt::CaseInsensitive) < 0;
                            });
}

// The digit's value, -1 when it is not a hex digit.
int hexDigit(QChar c) {
    static const QString digits = QStringLiteral("0123456789abcdef");
    return int(digits.indexOf(c.toLower()));
}

// A whole number written in hex digits only (no prefix, no sign); nullopt otherwise.
std::optional<quint32> parseHexNumber(QStringView digits, int maxDigits) {
    if (digits.isEmpty() || digits.size() > maxDigits)
        return std::nullopt;
    quint32 v = 0;
    for (QChar c : digits) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        v = (v << 4) | quint32(d);
    }
    return v;
}

// Text data of hex(1) and hex(2): everything but the one terminating NUL, so that a text
// holding NUL characters reads back as it was written.
QString utf16LeToText(const QByteArray &bytes) {
    QString s;
    s.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        s.append(QChar(char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8))));
    if (s.endsWith(QChar(0)))
        s.chop(1);
    return s;
}

QByteArray textToUtf16LeWithNul(const QString &s) {
    QByteArray b;
    b.reserve((s.size() + 1) * 2);
    for (QChar c : s) {
        b.append(char(c.unicode() & 0xff));
        b.append(char(c.unicode() >> 8));
    }
    b.append('\0');
    b.append('\0');
    return b;
}

class Parser {
public:
    Parser(const QString &text, const QString &rootName, const QString &fileName)
        : m_lines(text.split(QLatin1Char('\n'))), m_root(rootName), m_fileName(fileName) {
        for (QString &l : m_lines)
            if (l.endsWith(QLatin1Char('\r')))
                l.chop(1);
    }

    RegHiveKey parse() {
        qsizetype i = 0;
        while (i < m_lines.size() && m_lines[i].trimmed().isEmpty())
            ++i;
        if (i == m_lines.size())
            return m_root; // an empty file is an empty hive
        if (m_lines[i].trimmed() != kHeader)
            fail(i, QStringLiteral("expected the header \"%1\"").arg(kHeader));
        for (++i; i < m_lines.size(); ++i) {
            const QString line = m_lines[i].trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
                continue;
            if (line.startsWith(QLatin1Char('[')))
                startKey(i, line);
            else
                i = parseValue(i, line);
        }
        return m_root;
    }

private:
    [[noreturn]] void fail(qsizetype index, const QString &reason) const {
        throw RegParseError(m_fileName, int(index + 1), reason);
    }

    void startKey(qsizetype i, const QString &line) {
        if (!line.endsWith(QLatin1Char(']')))
            fail(i, QStringLiteral("a key line must end with \"]\""));
        if (line.startsWith(QLatin1String("[-")))
            fail(i, QStringLiteral("key deletion lines are not supported"));
        QStringList path = splitRegPath(line.mid(1, line.size() - 2));
        if (path.isEmpty() || !sameName(path.first(), m_root.name))
            fail(i, QStringLiteral("the key lies outside %1").arg(m_root.name));
        path.removeFirst();
        m_current = &m_root.ensure(path);
    }

    // Returns the index of the last line the value used (continuations included).
    qsizetype parseValue(qsizetype i, const QString &line) {
        if (!m_current)
            fail(i, QStringLiteral("a value appears before the first key"));
        qsizetype pos = 0;
        QString name;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else if (line.startsWith(QLatin1Char('"'))) {
            name = readQuoted(i, line, pos);
        } else {
            fail(i, QStringLiteral("expected \"Name\"=value or @=value"));
        }
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        if (pos >= line.size() || line[pos] != QLatin1Char('='))
            fail(i, QStringLiteral("expected \"=\" after the value name"));
        ++pos;
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        const QString data = line.mid(pos);
        const qsizetype first = i;
        RegValue v;
        if (data.startsWith(QLatin1Char('"'))) {
            qsizetype p = 0;
            v = RegValue::string(readQuoted(i, data, p));
            if (!data.mid(p).trimmed().isEmpty())
                fail(i, QStringLiteral("unexpected text after the closing quote"));
        } else if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            const auto n = parseHexNumber(QStringView(data).mid(6).trimmed(), 8);
            if (!n)
                fail(i, QStringLiteral("a dword needs 1 to 8 hex digits"));
            v = RegValue::fromDWord(*n);
        } else if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            v = parseHex(first, data, i);
        } else if (data == QLatin1String("-")) {
            fail(i, QStringLiteral("value deletion lines are not supported"));
        } else {
            fail(i, QStringLiteral("unknown value data \"%1\"").arg(data.left(20)));
        }
        m_current->setValue(name, v);
        return i;
    }

    // Reads a quoted text at line[pos] with \\ and \" escapes; pos ends after the quote.
    QString readQuoted(qsizetype i, const QString &line, qsizetype &pos) const {
        QString out;
        for (++pos; pos < line.size(); ++pos) {
            const QChar c = line[pos];
            if (c == QLatin1Char('"')) {
                ++pos;
                return out;
            }
            if (c == QLatin1Char('\\')) {
                if (pos + 1 >= line.size() ||
                    (line[pos + 1] != QLatin1Char('\\') && line[pos + 1] != QLatin1Char('"')))
                    fail(i, QStringLiteral("a backslash must be written \\\\ inside quotes"));
                out.append(line[++pos]);
                continue;
            }
            out.append(c);
        }
        fail(i, QStringLiteral("missing closing quote"));
    }

    // "hex:" or "hex(t):" followed by comma-separated bytes, possibly over several lines.
    RegValue parseHex(qsizetype first, const QString &data, qsizetype &i) const {
        const qsizetype colon = data.indexOf(QLatin1Char(':'));
        if (colon < 0)
            fail(first, QStringLiteral("expected \"hex:\" or \"hex(type):\""));
        const QStringView kind = QStringView(data).left(colon);
        quint32 type = 3;
        if (kind.size() > 3) {
            if (!kind.mid(3).startsWith(QLatin1Char('(')) || !kind.endsWith(QLatin1Char(')')))
                fail(first, QStringLiteral("expected \"hex:\" or \"hex(type):\""));
            const auto t = parseHexNumber(kind.mid(4, kind.size() - 5), 8);
            if (!t)
                fail(first, QStringLiteral("bad value type in \"%1\"").arg(kind));
            type = *t;
        }
        QString bytesText = data.mid(colon + 1).trimmed();
        while (bytesText.endsWith(QLatin1Char('\\'))) {
            bytesText.chop(1);
            if (++i >= m_lines.size() || m_lines[i].trimmed().isEmpty())
                fail(first, QStringLiteral("a continued value ends without more data"));
            bytesText += m_lines[i].trimmed();
        }
        const QByteArray bytes = parseHexBytes(first, bytesText);
        switch (type) {
        case 1:
        case 2:
            if (bytes.size() % 2 != 0)
                fail(first, QStringLiteral("text data has an odd number of bytes"));
            return type == 1 ? RegValue::string(utf16LeToText(bytes))
                             : RegValue::expandString(utf16LeToText(bytes));
        case 3:
            return RegValue::fromBinary(bytes);
        case 4:
            if (bytes.size() != 4)
                fail(first, QStringLiteral("a dword in hex form needs 4 bytes"));
            return RegValue::fromDWord(quint32(quint8(bytes[0])) | quint32(quint8(bytes[1])) << 8 |
                                       quint32(quint8(bytes[2])) << 16 |
                                       quint32(quint8(bytes[3])) << 24);
        default:
            fail(first, QStringLiteral("unsupported value type hex(%1)").arg(type, 0, 16));
        }
    }

    QByteArray parseHexBytes(qsizetype first, const QString &text) const {
        QByteArray out;
        if (text.isEmpty())
            return out;
        for (const QString &item : text.split(QLatin1Char(','))) {
            const auto b = parseHexNumber(QStringView(item).trimmed(), 2);
            if (!b)
                fail(first, QStringLiteral("bad hex byte \"%1\"").arg(item.trimmed().left(10)));
            out.append(char(*b));
        }
        return out;
    }

    QStringList m_lines;
    RegHiveKey m_root;
    QString m_fileName;
    RegHiveKey *m_current = nullptr;
};

QString quoted(const QString &s) {
    QString out = QStringLiteral("\"");
    for (QChar c : s) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out.append(QLatin1Char('\\'));
        out.append(c);
    }
    out.append(QLatin1Char('"'));
    return out;
}

// Texts that a quoted line cannot carry go out as hex(1), which reads back as the same text.
bool fitsQuotedLine(const QString &s) {
    return !s.contains(QLatin1Char('\n')) && !s.contains(QLatin1Char('\r')) &&
           !s.contains(QChar(0));
}

QString hexData(const QString &prefix, const QByteArray &bytes) {
    static const char digits[] = "0123456789abcdef";
    QString out;
    QString line = prefix;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const quint8 b = quint8(bytes[i]);
        QString item = QString(QLatin1Char(digits[b >> 4])) + QLatin1Char(digits[b & 15]);
        if (i + 1 < bytes.size())
            item.append(QLatin1Char(','));
        if (i > 0 && line.size() + item.size() > kWrapColumn) {
            out += line + QStringLiteral("\\\n");
            line = QStringLiteral("  ");
        }
        line += item;
    }
    return out + line;
}

QString valueLine(const RegNamedValue &nv) {
    const QString prefix =
        (nv.name.isEmpty() ? QStringLiteral("@") : quoted(nv.name)) + QLatin1Char('=');
    const RegValue &v = nv.value;
    switch (v.type) {
    case RegType::String:
        if (fitsQuotedLine(v.text))
            return prefix + quoted(v.text);
        return hexData(prefix + QStringLiteral("hex(1):"), textToUtf16LeWithNul(v.text));
    case RegType::ExpandString:
        return hexData(prefix + QStringLiteral("hex(2):"), textToUtf16LeWithNul(v.text));
    case RegType::DWord:
        return prefix + QStringLiteral("dword:%1").arg(v.dword, 8, 16, QLatin1Char('0'));
    case RegType::Binary:
        return hexData(prefix + QStringLiteral("hex:"), v.binary);
    }
    return prefix;
}

void writeKey(const RegHiveKey &key, const QString &fullPath, bool isRoot, QString &out) {
    if (!isRoot || !key.values.isEmpty()) {
        out += QLatin1Char('[') + fullPath + QStringLiteral("]\n");
        for (const RegNamedValue &nv : key.values)
            out += valueLine(nv) + QLatin1Char('\n');
        out += QLatin1Char('\n');
    }
    for (const RegHiveKey &sub : key.subKeys)
        writeKey(sub, fullPath + QLatin1Char('\\') + sub.name, false, out);
}

} // namespace

const RegHiveKey *RegHiveKey::subKey(const QString &keyName) const {
    return const_cast<RegHiveKey *>(this)->subKey(keyName);
}

RegHiveKey *RegHiveKey::subKey(const QString &keyName) {
    const auto it = lowerBound(subKeys, keyName);
    return it != subKeys.end() && sameName(it->name, keyName) ? &*it : nullptr;
}

RegHiveKey &RegHiveKey::ensureSubKey(const QString &keyName, bool *created) {
    auto it = lowerBound(subKeys, keyName);
    if (it != subKeys.end() && sameName(it->name, keyName))
        return *it;
    if (created)
        *created = true;
    return *subKeys.insert(it, RegHiveKey(keyName));
}

bool RegHiveKey::removeSubKey(const QString &keyName) {
    const auto it = lowerBound(subKeys, keyName);
    if (it == subKeys.end() || !sameName(it->name, keyName))
        return false;
    subKeys.erase(it);
    return true;
}

const RegHiveKey *RegHiveKey::find(const QStringList &path) const {
    return const_cast<RegHiveKey *>(this)->find(path);
}

RegHiveKey *RegHiveKey::find(const QStringList &path) {
    RegHiveKey *k = this;
    for (const QString &part : path) {
        k = k->subKey(part);
        if (!k)
            return nullptr;
    }
    return k;
}

RegHiveKey &RegHiveKey::ensure(const QStringList &path, bool *created) {
    RegHiveKey *k = this;
    for (const QString &part : path)
        k = &k->ensureSubKey(part, created);
    return *k;
}

const RegValue *RegHiveKey::value(const QString &valueName) const {
    for (const RegNamedValue &nv : values)
        if (sameName(nv.name, valueName))
            return &nv.value;
    return nullptr;
}

void RegHiveKey::setValue(const QString &valueName, const RegValue &v) {
    for (RegNamedValue &nv : values) {
        if (sameName(nv.name, valueName)) {
            nv.value = v;
            return;
        }
    }
    values.append({valueName, v});
}

bool RegHiveKey::removeValue(const QString &valueName) {
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (sameName(values[i].name, valueName)) {
            values.removeAt(i);
            return true;
        }
    }
    return false;
}

RegParseError::RegParseError(const QString &fileName, int line, const QString &reason)
    : ZvRegistryError(
          QStringLiteral("Registry file %1, line %2: %3").arg(fileName).arg(line).arg(reason)),
      m_line(line), m_reason(reason) {}

QStringList splitRegPath(const QString &path) {
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

QString decodeRegBytes(const QByteArray &bytes) {
    if (bytes.startsWith("\xff\xfe")) {
        QStringDecoder utf16(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
        return utf16.decode(bytes.mid(2));
    }
    QByteArray utf8 = bytes;
    if (utf8.startsWith("\xef\xbb\xbf"))
        utf8.remove(0, 3);
    return QString::fromUtf8(utf8);
}

RegHiveKey parseRegText(const QString &text, const QString &rootName, const QString &fileName) {
    Parser parser(text, rootName, fileName);
    return parser.parse();
}

QString writeRegText(const RegHiveKey &root) {
    QString out = kHeader + QStringLiteral("\n\n");
    writeKey(root, root.name, true, out);
    return out;
}

} // namespace zv
