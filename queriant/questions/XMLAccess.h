// SPDX-License-Identifier: MIT
// Small DOM and XPath 1.0 wrapper around one XML document: the request document in, the same
// document with the answers out.
#pragma once

#include <QByteArray>
#include <QString>

#include <pugixml.hpp>

#include <vector>

// Namespace registered for the "tm" prefix (XML Topic Maps 1.0).
inline constexpr const char *XtmNamespace = "http://www.topicmaps.org/xtm/1.0/";

// Decodes a request held as bytes: UTF-16 (either byte order) or UTF-8, with or without a
// byte-order mark.
QString DecodeRequestText(const QByteArray &bytes);

class TXMLAccess {
public:
    TXMLAccess();

    // Parses the text into the document; a text that does not parse leaves the document
    // without a document element.
    void LoadXML(const QString &text);
    void LoadXML(const QByteArray &bytes) { LoadXML(DecodeRequestText(bytes)); }

    // U+FEFF, the UTF-16 declaration, CR LF and the document element; raises an error when
    // the document has no document element.
    QString GetXML() const;
    bool IsEmpty() const;

    pugi::xml_node SelectSingleNode(const QString &xpath) const;
    std::vector<pugi::xml_node> SelectNodes(const QString &xpath) const;
    std::vector<pugi::xml_node> SelectNodes(pugi::xml_node node, const QString &xpath) const;
    // Texts of all matches joined by CR LF, trimmed.
    QString GetTexts(const QString &xpath) const;
    QString GetChildText(pugi::xml_node node, const QString &name) const;
    void SetChildText(pugi::xml_node node, const QString &name, const QString &text);
    void RemoveChildren(pugi::xml_node node, const QString &name);

    const QString &Namespace() const { return m_namespace; }
    pugi::xml_document &Document() { return m_doc; }

private:
    pugi::xpath_node_set select(pugi::xml_node context, const QString &xpath) const;

    pugi::xml_document m_doc;
    QString m_namespace;
};
