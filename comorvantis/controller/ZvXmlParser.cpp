// SPDX-License-Identifier: MIT
#include "ZvXmlParser.h"

namespace {

bool isNameEnd(QChar c) {
    return c.isSpace() || c == QLatin1Char('/') || c == QLatin1Char('>');
}

const QString kCDataStart = QStringLiteral("<![CDATA[");

} // namespace

bool ZvXmlParser::fail(const QString &why, qsizetype at) {
    m_error = QStringLiteral("%1 at offset %2").arg(why).arg(at);
    m_wellFormed = false;
    return false;
}

bool ZvXmlParser::skipUntil(qsizetype &pos, const QString &terminator) {
    const qsizetype end = m_text.indexOf(terminator, pos);
    if (end < 0)
        return fail(QStringLiteral("missing \"%1\"").arg(terminator), pos);
    pos = end + terminator.size();
    return true;
}

bool ZvXmlParser::parseStartTag(qsizetype &pos, std::vector<int> &open) {
    const qsizetype tagStart = pos;
    qsizetype p = pos + 1;
    const qsizetype nameStart = p;
    while (p < m_text.size() && !isNameEnd(m_text.at(p)))
        ++p;
    if (p == nameStart)
        return fail(QStringLiteral("element without a name"), tagStart);
    Element element;
    element.name = m_text.mid(nameStart, p - nameStart);
    // Attributes: only their quoting matters, so that a '>' inside a value does not end the tag.
    bool empty = false;
    for (;;) {
        if (p >= m_text.size())
            return fail(QStringLiteral("unterminated start tag"), tagStart);
        const QChar c = m_text.at(p);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const qsizetype close = m_text.indexOf(c, p + 1);
            if (close < 0)
                return fail(QStringLiteral("unterminated attribute value"), p);
            p = close + 1;
        } else if (c == QLatin1Char('>')) {
            ++p;
            break;
        } else if (c == QLatin1Char('/') && p + 1 < m_text.size() &&
                   m_text.at(p + 1) == QLatin1Char('>')) {
            empty = true;
            p += 2;
            break;
        } else {
            ++p;
        }
    }
    if (open.empty() && !m_elements.empty())
        return fail(QStringLiteral("second root element"), tagStart);
    element.parent = open.empty() ? -1 : open.back();
    element.contentBegin = p;
    element.contentEnd = p;
    const int index = int(m_elements.size());
    if (element.parent >= 0)
        m_elements[size_t(element.parent)].children.push_back(index);
    m_elements.push_back(std::move(element));
    if (!empty)
        open.push_back(index);
    pos = p;
    return true;
}

bool ZvXmlParser::parseEndTag(qsizetype &pos, std::vector<int> &open) {
    const qsizetype tagStart = pos;
    const qsizetype close = m_text.indexOf(QLatin1Char('>'), pos);
    if (close < 0)
        return fail(QStringLiteral("unterminated end tag"), tagStart);
    const QString name = m_text.mid(pos + 2, close - pos - 2).trimmed();
    if (open.empty())
        return fail(QStringLiteral("end tag </%1> without a start tag").arg(name), tagStart);
    Element &element = m_elements[size_t(open.back())];
    if (element.name != name)
        return fail(QStringLiteral("end tag </%1> does not match <%2>").arg(name, element.name),
                    tagStart);
    element.contentEnd = tagStart;
    open.pop_back();
    pos = close + 1;
    return true;
}

bool ZvXmlParser::parse(const QString &text) {
    m_text = text;
    m_elements.clear();
    m_error.clear();
    m_wellFormed = true;
    std::vector<int> open;
    qsizetype pos = 0;
    while (true) {
        pos = m_text.indexOf(QLatin1Char('<'), pos);
        if (pos < 0)
            break;
        const QStringView rest = QStringView(m_text).mid(pos);
        bool ok = true;
        if (rest.startsWith(QLatin1String("<?")))
            ok = skipUntil(pos, QStringLiteral("?>"));
        else if (rest.startsWith(QLatin1String("<!--")))
            ok = skipUntil(pos, QStringLiteral("-->"));
        else if (rest.startsWith(kCDataStart))
            ok = skipUntil(pos, QStringLiteral("]]>"));
        else if (rest.startsWith(QLatin1String("<!")))
            ok = skipUntil(pos, QStringLiteral(">"));
        else if (rest.startsWith(QLatin1String("</")))
            ok = parseEndTag(pos, open);
        else
            ok = parseStartTag(pos, open);
        if (!ok)
            return false;
    }
    if (!open.empty())
        return fail(
            QStringLiteral("element <%1> is not closed").arg(m_elements[size_t(open.back())].name),
            m_text.size());
    if (m_elements.empty())
        return fail(QStringLiteral("no root element"), m_text.size());
    return true;
}

QString ZvXmlParser::localName(int index) const {
    const QString &name = element(index).name;
    const qsizetype colon = name.indexOf(QLatin1Char(':'));
    return colon < 0 ? name : name.mid(colon + 1);
}

std::vector<int> ZvXmlParser::childrenNamed(int index, const QString &name) const {
    std::vector<int> result;
    for (int child : element(index).children) {
        if (localName(child) == name)
            result.push_back(child);
    }
    return result;
}

int ZvXmlParser::firstChildNamed(int index, const QString &name) const {
    for (int child : element(index).children) {
        if (localName(child) == name)
            return child;
    }
    return -1;
}

QString ZvXmlParser::text(int index) const {
    const Element &e = element(index);
    if (!e.children.empty())
        return {};
    const QStringView content =
        QStringView(m_text).mid(e.contentBegin, e.contentEnd - e.contentBegin);
    if (content.startsWith(kCDataStart)) {
        const QStringView inner = content.mid(kCDataStart.size());
        const qsizetype end = inner.indexOf(QLatin1String("]]>"));
        return withLineEndsNormalized(end < 0 ? inner : inner.left(end));
    }
    return decodeEntities(withLineEndsNormalized(content));
}

// An XML processor reads CR LF and a lone CR as LF, so a file written on another system names
// the same task.
QString ZvXmlParser::withLineEndsNormalized(QStringView content) {
    QString out;
    out.reserve(content.size());
    for (qsizetype i = 0; i < content.size(); ++i) {
        if (content.at(i) != QLatin1Char('\r')) {
            out.append(content.at(i));
            continue;
        }
        out.append(QLatin1Char('\n'));
        if (i + 1 < content.size() && content.at(i + 1) == QLatin1Char('\n'))
            ++i;
    }
    return out;
}

QString ZvXmlParser::decodeEntities(QStringView content) {
    static const struct {
        QLatin1String entity;
        QChar character;
    } entities[] = {
        {QLatin1String("lt;"), QLatin1Char('<')},   {QLatin1String("amp;"), QLatin1Char('&')},
        {QLatin1String("gt;"), QLatin1Char('>')},   {QLatin1String("apos;"), QLatin1Char('\'')},
        {QLatin1String("quot;"), QLatin1Char('"')},
    };
    QString out;
    out.reserve(content.size());
    qsizetype i = 0;
    while (i < content.size()) {
        const QChar c = content.at(i);
        if (c != QLatin1Char('&')) {
            out.append(c);
            ++i;
            continue;
        }
        bool decoded = false;
        for (const auto &e : entities) {
            if (content.mid(i + 1).startsWith(e.entity)) {
                out.append(e.character);
                i += 1 + e.entity.size();
                decoded = true;
                break;
            }
        }
        if (!decoded) {
            out.append(c);
            ++i;
        }
    }
    return out;
}
