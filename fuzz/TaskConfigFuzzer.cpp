// SPDX-License-Identifier: MIT
// The task host's configuration file: the element index is consistent whatever the text, and
// for plain well-formed documents (no markup declarations, processing instructions past the
// prolog, comments, CDATA or character references) the task list agrees with pugixml's reading.
//
// Input: the file's text (UTF-8).
#include "FuzzSupport.h"

#include "OrvantisControllerImpl.h"
#include "ZvXmlParser.h"

#include <pugixml.hpp>

#include <optional>

namespace {

void CheckIndex(const ZvXmlParser &parser, qsizetype textSize) {
    for (int i = 0; i >= 0 && i < 100000; ++i) {
        const ZvXmlParser::Element *element = nullptr;
        try {
            element = &parser.element(i);
        } catch (const std::out_of_range &) {
            return;
        }
        fuzz::Check(element->contentBegin <= element->contentEnd && element->contentEnd <= textSize,
                    "element content outside the text");
        fuzz::Check(element->parent < i, "parent indexed after its child");
        for (const int child : element->children)
            fuzz::Check(child > i && parser.element(child).parent == i, "child of another parent");
        (void)parser.localName(i);
        (void)parser.text(i);
    }
}

QString LocalName(const char *name) {
    const QString full = QString::fromUtf8(name);
    const qsizetype colon = full.indexOf(u':');
    return colon < 0 ? full : full.mid(colon + 1);
}

pugi::xml_node FirstChildNamed(pugi::xml_node node, const QString &name) {
    for (pugi::xml_node child : node.children())
        if (child.type() == pugi::node_element && LocalName(child.name()) == name)
            return child;
    return {};
}

std::optional<QStringList> ReferenceTasks(const QByteArray &text) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.constData(), std::size_t(text.size()), pugi::parse_default,
                         pugi::encoding_utf8))
        return std::nullopt;
    const pugi::xml_node root = doc.document_element();
    if (!root || LocalName(root.name()) != QStringLiteral("configuration"))
        return std::nullopt;
    QStringList tasks;
    for (pugi::xml_node task : FirstChildNamed(root, QStringLiteral("tasks")).children()) {
        if (task.type() != pugi::node_element || LocalName(task.name()) != QStringLiteral("task"))
            continue;
        bool hasElements = false;
        for (pugi::xml_node child : task.children())
            hasElements = hasElements || child.type() == pugi::node_element;
        tasks << (hasElements ? QString() : QString::fromUtf8(task.text().get()).trimmed());
    }
    return tasks;
}

bool IsPlain(const QByteArray &text) {
    const qsizetype prologEnd = text.startsWith("<?xml") ? text.indexOf("?>") : 0;
    return prologEnd >= 0 && !text.contains("<!") && !text.contains("&#") &&
           text.indexOf("<?", prologEnd) < 0 && !text.contains('\0') &&
           QString::fromUtf8(text).toUtf8() == text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes = fuzz::Bytes(data, size);
    const QString text = QString::fromUtf8(bytes);
    ZvXmlParser parser;
    const bool parsed = parser.parse(text);
    fuzz::Check(parsed == parser.isWellFormed(), "parse result and well-formedness differ");
    if (parsed)
        fuzz::Check(parser.root() == 0, "parsed text without a root");
    CheckIndex(parser, text.size());

    const std::optional<QStringList> tasks = COrvantisControllerImpl::tasksFromConfiguration(text);
    if (tasks)
        fuzz::Check(parsed, "tasks from a text that does not parse");
    if (!IsPlain(bytes))
        return 0;
    const std::optional<QStringList> reference = ReferenceTasks(bytes);
    if (!reference || !tasks)
        return 0;
    QStringList trimmed;
    for (const QString &task : *tasks)
        trimmed << task.trimmed();
    fuzz::Check(trimmed == *reference, "task list differs from pugixml's", bytes.left(200));
    return 0;
}
