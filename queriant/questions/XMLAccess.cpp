// SPDX-License-Identifier: MIT
#include "XMLAccess.h"

#include "ZvError.h"

#include <QStringDecoder>

#include <string>
#include <unordered_set>

QString DecodeRequestText(const QByteArray &bytes) {
    auto decode = [&](QStringConverter::Encoding encoding, qsizetype skip) {
        QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
        return QString(decoder.decode(QByteArrayView(bytes).sliced(skip)));
    };
    if (bytes.startsWith("\xFF\xFE"))
        return decode(QStringConverter::Utf16LE, 2);
    if (bytes.startsWith("\xFE\xFF"))
        return decode(QStringConverter::Utf16BE, 2);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return decode(QStringConverter::Utf8, 3);
    // Without a mark, an XML text begins with an ASCII character ('<' or white space), which
    // shows a zero byte beside it in UTF-16.
    if (bytes.size() >= 2 && bytes.at(0) != 0 && bytes.at(1) == 0)
        return decode(QStringConverter::Utf16LE, 0);
    if (bytes.size() >= 2 && bytes.at(0) == 0 && bytes.at(1) != 0)
        return decode(QStringConverter::Utf16BE, 0);
    return decode(QStringConverter::Utf8, 0);
}

namespace {

// Concatenated character data below node, walked without recursion so deep documents are safe.
std::string textOf(const pugi::xpath_node &hit) {
    if (hit.attribute())
        return hit.attribute().value();
    const pugi::xml_node node = hit.node();
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
        return node.value();
    std::string text;
    pugi::xml_node cur = node.first_child();
    while (cur && cur != node) {
        if (cur.type() == pugi::node_pcdata || cur.type() == pugi::node_cdata)
            text += cur.value();
        if (cur.first_child()) {
            cur = cur.first_child();
            continue;
        }
        while (cur && cur != node && !cur.next_sibling())
            cur = cur.parent();
        if (cur && cur != node)
            cur = cur.next_sibling();
    }
    return text;
}

QString toQString(const std::string &s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// A document parses when pugixml accepts it and it has exactly one top-level element and no
// top-level character data.
bool isSingleRooted(const pugi::xml_document &doc) {
    int elements = 0;
    for (pugi::xml_node child : doc.children()) {
        if (child.type() == pugi::node_element)
            ++elements;
        else if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            return false;
    }
    return elements == 1;
}

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void *data, size_t size) override {
        out.append(static_cast<const char *>(data), size);
    }
};

// Removes node with its subtree leaf by leaf: pugixml frees a subtree recursively, which a
// deeply nested request would turn into a stack overflow.
void removeNode(pugi::xml_node node) {
    pugi::xml_node cur = node;
    for (;;) {
        while (pugi::xml_node child = cur.first_child())
            cur = child;
        pugi::xml_node parent = cur.parent();
        parent.remove_child(cur);
        if (cur == node)
            return;
        cur = parent;
    }
}

// Element text as the DOM sets it: the children are replaced by one text node.
void setText(const pugi::xpath_node &hit, const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    if (hit.attribute()) {
        hit.attribute().set_value(utf8.constData());
        return;
    }
    pugi::xml_node node = hit.node();
    if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
        node.set_value(utf8.constData());
        return;
    }
    while (node.first_child())
        removeNode(node.first_child());
    if (!utf8.isEmpty())
        node.append_child(pugi::node_pcdata).set_value(utf8.constData());
}

} // namespace

TXMLAccess::TXMLAccess() : m_namespace(QString::fromUtf8(XtmNamespace)) {}

void TXMLAccess::LoadXML(const QString &text) {
    QStringView view(text);
    if (view.startsWith(QChar(0xFEFF)))
        view = view.mid(1);
    const QByteArray utf8 = view.toUtf8();
    const unsigned options =
        pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_fragment;
    const pugi::xml_parse_result result =
        m_doc.load_buffer(utf8.constData(), size_t(utf8.size()), options, pugi::encoding_utf8);
    if (!result || !isSingleRooted(m_doc))
        m_doc.reset();
}

bool TXMLAccess::IsEmpty() const {
    return !m_doc.document_element();
}

QString TXMLAccess::GetXML() const {
    const pugi::xml_node root = m_doc.document_element();
    if (!root)
        throw zv::ZvError(QStringLiteral("The XML document has no document element"));
    StringWriter writer;
    root.print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    return QChar(0xFEFF) +
           QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\" standalone=\"no\"?>\r\n") +
           toQString(writer.out);
}

pugi::xpath_node_set TXMLAccess::select(pugi::xml_node context, const QString &xpath) const {
    const QByteArray query = xpath == QStringLiteral("//") ? QByteArray("/") : xpath.toUtf8();
    try {
        return context.select_nodes(query.constData());
    } catch (const pugi::xpath_exception &e) {
        throw zv::ZvError(QStringLiteral("XPath query \"%1\" failed: %2")
                              .arg(xpath, QString::fromUtf8(e.what())));
    }
}

pugi::xml_node TXMLAccess::SelectSingleNode(const QString &xpath) const {
    const pugi::xpath_node_set hits = select(m_doc, xpath);
    return hits.empty() ? pugi::xml_node() : hits.first().node();
}

std::vector<pugi::xml_node> TXMLAccess::SelectNodes(const QString &xpath) const {
    return SelectNodes(m_doc, xpath);
}

std::vector<pugi::xml_node> TXMLAccess::SelectNodes(pugi::xml_node node,
                                                    const QString &xpath) const {
    std::vector<pugi::xml_node> nodes;
    if (!node)
        return nodes;
    for (const pugi::xpath_node &hit : select(node, xpath)) {
        if (hit.node())
            nodes.push_back(hit.node());
    }
    return nodes;
}

QString TXMLAccess::GetTexts(const QString &xpath) const {
    std::string joined;
    bool first = true;
    for (const pugi::xpath_node &hit : select(m_doc, xpath)) {
        if (!first)
            joined += "\r\n";
        joined += textOf(hit);
        first = false;
    }
    return toQString(joined).trimmed();
}

QString TXMLAccess::GetChildText(pugi::xml_node node, const QString &name) const {
    if (!node)
        return QString();
    const pugi::xpath_node_set hits = select(node, name);
    return hits.empty() ? QString() : toQString(textOf(hits.first()));
}

void TXMLAccess::SetChildText(pugi::xml_node node, const QString &name, const QString &text) {
    if (!node)
        return;
    const pugi::xpath_node_set hits = select(node, name);
    if (!hits.empty()) {
        setText(hits.first(), text);
        return;
    }
    pugi::xml_node child = node.append_child(name.toUtf8().constData());
    setText(pugi::xpath_node(child), text);
}

void TXMLAccess::RemoveChildren(pugi::xml_node node, const QString &name) {
    const pugi::xpath_node_set hits = select(node ? node : pugi::xml_node(m_doc), name);
    // A match inside another match goes with it; touching it afterwards would use freed nodes.
    std::unordered_set<pugi::xml_node_struct *> matched;
    for (const pugi::xpath_node &hit : hits) {
        if (!hit.attribute() && hit.node())
            matched.insert(hit.node().internal_object());
    }
    auto insideAnotherMatch = [&](pugi::xml_node n) {
        for (pugi::xml_node p = n.parent(); p; p = p.parent()) {
            if (matched.count(p.internal_object()))
                return true;
        }
        return false;
    };
    std::vector<pugi::xpath_node> doomed;
    for (const pugi::xpath_node &hit : hits) {
        const pugi::xml_node owner = hit.attribute() ? hit.parent() : hit.node();
        if (!owner || insideAnotherMatch(owner))
            continue;
        if (hit.attribute() ? !matched.count(owner.internal_object()) : bool(owner.parent()))
            doomed.push_back(hit);
    }
    for (const pugi::xpath_node &hit : doomed) {
        if (hit.attribute())
            hit.parent().remove_attribute(hit.attribute());
        else
            removeNode(hit.node());
    }
}
