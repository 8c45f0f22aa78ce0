// SPDX-License-Identifier: MIT
#include "ZvXmlParser.h"
#include "OrvantisControllerImpl.h"
#include "TestSupport.h"

namespace {

std::optional<QStringList> tasksOf(const QString &text) {
    return COrvantisControllerImpl::tasksFromConfiguration(text);
}

} // namespace

TEST(ConfigurationFile, TaskListsFromConfigurationTexts) {
    const QString bom = QString(QChar(0xFEFF));
    struct Case {
        const char *name;
        QString text;
        std::optional<QStringList> expected;
    } cases[] = {
        {"plain",
         QStringLiteral("<configuration><tasks><task>A.B</task><task>C</task></tasks>"
                        "</configuration>"),
         QStringList{QStringLiteral("A.B"), QStringLiteral("C")}},
        {"byte-order mark and declaration",
         bom + QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<configuration>"
                              "<tasks><task>A</task></tasks></configuration>"),
         QStringList{QStringLiteral("A")}},
        {"comments and doctype",
         QStringLiteral("<!DOCTYPE configuration><!-- <task>no</task> --><configuration>"
                        "<tasks><!--x--><task>A</task><!-- <task>B</task> --></tasks>"
                        "</configuration><!-- end -->"),
         QStringList{QStringLiteral("A")}},
        {"CDATA taken verbatim",
         QStringLiteral("<configuration><tasks><task><![CDATA[A&amp;<B>]]></task></tasks>"
                        "</configuration>"),
         QStringList{QStringLiteral("A&amp;<B>")}},
        {"CDATA between elements skipped",
         QStringLiteral("<configuration><![CDATA[<tasks><task>X</task></tasks>]]><tasks>"
                        "<task>A</task></tasks></configuration>"),
         QStringList{QStringLiteral("A")}},
        {"five entities and a bare ampersand",
         QStringLiteral("<configuration><tasks><task>&lt;&amp;&gt;&apos;&quot;&amp &#65;"
                        "</task></tasks></configuration>"),
         QStringList{QStringLiteral("<&>'\"&amp &#65;")}},
        {"whitespace kept",
         QStringLiteral("<configuration><tasks><task> A.B\n</task></tasks></configuration>"),
         QStringList{QStringLiteral(" A.B\n")}},
        {"line ends read as LF, also in CDATA",
         QStringLiteral("<configuration><tasks><task>A\r\r\nB\r</task><task><![CDATA[C\r\nD]]>"
                        "</task></tasks></configuration>"),
         QStringList{QStringLiteral("A\n\nB\n"), QStringLiteral("C\nD")}},
        {"task with child elements is empty",
         QStringLiteral("<configuration><tasks><task>A<sub>B</sub></task><task/></tasks>"
                        "</configuration>"),
         QStringList{QString(), QString()}},
        {"duplicates kept in order",
         QStringLiteral("<configuration><tasks><task>A</task><task>B</task><task>A</task>"
                        "</tasks></configuration>"),
         QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("A")}},
        {"namespace prefixes and attributes",
         QStringLiteral("<c:configuration xmlns:c=\"urn:x\"><c:tasks a='1>2'><c:task id=\"t/>\">"
                        "A</c:task><other><task>no</task></other></c:tasks></c:configuration>"),
         QStringList{QStringLiteral("A")}},
        {"only the first tasks element",
         QStringLiteral("<configuration><other/><tasks><task>A</task></tasks><tasks><task>B"
                        "</task></tasks></configuration>"),
         QStringList{QStringLiteral("A")}},
        {"class id",
         QStringLiteral("<configuration><tasks><task>{6A1C9E20-3F4B-4C55-9D0E-"
                        "2B7A8C1D4E5F}</task></tasks></configuration>"),
         QStringList{QStringLiteral("{6A1C9E20-3F4B-4C55-9D0E-2B7A8C1D4E5F}")}},
        {"no tasks element", QStringLiteral("<configuration/>"), QStringList{}},
        {"names are case-sensitive",
         QStringLiteral("<configuration><Tasks><task>A</task></Tasks></configuration>"),
         QStringList{}},
        {"wrong root", QStringLiteral("<settings><tasks><task>A</task></tasks></settings>"),
         std::nullopt},
        {"mismatched end tag",
         QStringLiteral("<configuration><tasks><task>A</tsk></tasks></configuration>"),
         std::nullopt},
        {"unclosed root", QStringLiteral("<configuration><tasks></tasks>"), std::nullopt},
        {"stray end tag", QStringLiteral("</configuration>"), std::nullopt},
        {"two roots", QStringLiteral("<configuration/><configuration/>"), std::nullopt},
        {"unterminated comment", QStringLiteral("<configuration><!-- </configuration>"),
         std::nullopt},
        {"unterminated attribute", QStringLiteral("<configuration a=\"x></configuration>"),
         std::nullopt},
        {"empty text", QString(), std::nullopt},
        {"text only", QStringLiteral("just words"), std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(tasksOf(c.text), c.expected) << c.name;
}

TEST(ConfigurationFile, ParserIndexesNestedElements) {
    ZvXmlParser parser;
    ASSERT_TRUE(parser.parse(QStringLiteral("<a><b><c/></b><b>t</b></a>")));
    EXPECT_EQ(parser.element(parser.root()).name, QStringLiteral("a"));
    const std::vector<int> bs = parser.childrenNamed(parser.root(), QStringLiteral("b"));
    ASSERT_EQ(bs.size(), 2u);
    EXPECT_EQ(parser.firstChildNamed(bs[0], QStringLiteral("c")), 2);
    EXPECT_EQ(parser.text(bs[1]), QStringLiteral("t"));
    EXPECT_FALSE(parser.parse(QStringLiteral("<a></b>")));
    EXPECT_FALSE(parser.error().isEmpty());
}
