// SPDX-License-Identifier: MIT
// A small non-validating XML parser that indexes the elements of a text in one pass: enough
// for the task host's configuration file, and nothing that touches files.
#pragma once

#include <QString>

#include <vector>

class ZvXmlParser {
public:
    struct Element {
        QString name;               // as written, prefix included
        qsizetype contentBegin = 0; // first character after the start tag
        qsizetype contentEnd = 0;   // first character of the end tag
        int parent = -1;
        std::vector<int> children;
    };

    // Indexes the text; true when a root element was indexed without error.
    bool parse(const QString &text);
    bool isWellFormed() const { return m_wellFormed; }
    // Where and why parsing stopped, for diagnostics.
    const QString &error() const { return m_error; }

    // Index of the root element, -1 when there is none.
    int root() const { return m_elements.empty() ? -1 : 0; }
    const Element &element(int index) const { return m_elements.at(size_t(index)); }
    // The name without a namespace prefix (everything up to and including the first ':').
    QString localName(int index) const;
    // Direct children with this local name, in document order (case-sensitive).
    std::vector<int> childrenNamed(int index, const QString &localName) const;
    int firstChildNamed(int index, const QString &localName) const;
    // The element's text: a leading CDATA section verbatim, else the content with the five
    // entities decoded, line ends read as LF; empty for an element with child elements.
    QString text(int index) const;

    static QString decodeEntities(QStringView content);

private:
    static QString withLineEndsNormalized(QStringView content);
    bool fail(const QString &why, qsizetype at);
    bool skipUntil(qsizetype &pos, const QString &terminator);
    bool parseStartTag(qsizetype &pos, std::vector<int> &open);
    bool parseEndTag(qsizetype &pos, std::vector<int> &open);

    QString m_text;
    std::vector<Element> m_elements;
    bool m_wellFormed = false;
    QString m_error;
};
