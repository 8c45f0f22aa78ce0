// SPDX-License-Identifier: MIT
#include "QuestionManager.h"
#include "TestSupport.h"
#include "XMLAccess.h"

#include <QLocale>
#include <QStringEncoder>

namespace {

const QStringList Automation = {QStringLiteral("-Embedding")};

QString doc(const QString &body) {
    return "<questionsets>" + body + "</questionsets>";
}

QString questionSet(const QString &formType, const QString &questions,
                    const QString &extra = QString()) {
    return "<questionset><formtype>" + formType + "</formtype><title>T</title>" + extra +
           questions + "</questionset>";
}

// --- TXMLAccess -------------------------------------------------------------------------------

TEST(TXMLAccess, QueriesRelativeToNodes) {
    TXMLAccess xml;
    xml.LoadXML(QStringLiteral("<a><b>one</b><b> two </b><c><d>x</d>y</c></a>"));
    EXPECT_EQ(xml.GetTexts("//b"), "one\r\n two");
    const pugi::xml_node c = xml.SelectSingleNode("/a/c");
    ASSERT_TRUE(c);
    EXPECT_EQ(xml.GetChildText(c, "d"), "x");
    EXPECT_EQ(xml.GetChildText(c, "."), "xy");
    EXPECT_EQ(xml.GetChildText(c, "missing"), "");
    EXPECT_EQ(xml.GetChildText(pugi::xml_node(), "d"), "");
    EXPECT_EQ(xml.SelectNodes("//b").size(), 2u);
    EXPECT_TRUE(xml.SelectSingleNode("//"));
    EXPECT_FALSE(xml.SelectSingleNode("//zzz"));

    xml.SetChildText(c, "d", "new");
    xml.SetChildText(c, "e", "added");
    xml.SetChildText(c, "f", "");
    EXPECT_EQ(xml.GetXML().section("\r\n", 1),
              "<a><b>one</b><b> two </b><c><d>new</d>y<e>added</e><f/></c></a>");
    xml.RemoveChildren(pugi::xml_node(), "//b");
    xml.RemoveChildren(c, "d");
    EXPECT_EQ(xml.GetXML().section("\r\n", 1), "<a><c>y<e>added</e><f/></c></a>");
}

TEST(TXMLAccess, BadQueryRaisesAnError) {
    TXMLAccess xml;
    xml.LoadXML(QStringLiteral("<a/>"));
    EXPECT_THROW(xml.SelectNodes("//["), zv::ZvError);
}

TEST(TXMLAccess, RemovingNestedMatchesIsSafe) {
    TXMLAccess xml;
    xml.LoadXML(QStringLiteral("<r><x><x><x/></x></x><y><x/></y></r>"));
    xml.RemoveChildren(pugi::xml_node(), "//x");
    EXPECT_EQ(xml.GetXML().section("\r\n", 1), "<r><y/></r>");
}

TEST(TXMLAccess, SerialisesTheDocumentElementAsUtf16Text) {
    TXMLAccess xml;
    xml.LoadXML(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><!-- before -->"
                               "<root a=\"1\"><!--inside--><v>&amp;&lt;</v></root><?pi x?>"));
    const QString text = xml.GetXML();
    EXPECT_EQ(text,
              QChar(0xFEFF) + QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\" "
                                             "standalone=\"no\"?>\r\n<root a=\"1\"><!--inside--><v>"
                                             "&amp;&lt;</v></root>"));
}

TEST(TXMLAccess, MalformedTextLeavesAnEmptyDocument) {
    const char *const bad[] = {"", "<a>", "<a></b>", "not xml", "<a/><b/>", "<a/>text", "\x01\x02"};
    for (const char *text : bad) {
        TXMLAccess xml;
        xml.LoadXML(QStringLiteral("<ok/>"));
        xml.LoadXML(QString::fromLatin1(text));
        EXPECT_TRUE(xml.IsEmpty()) << text;
        EXPECT_THROW(xml.GetXML(), zv::ZvError) << text;
    }
}

TEST(TXMLAccess, DeepNestingDoesNotCrash) {
    QString text;
    const int depth = 200000;
    text.reserve(depth * 7);
    for (int i = 0; i < depth; ++i)
        text += "<a>";
    text += "x";
    for (int i = 0; i < depth; ++i)
        text += "</a>";
    TXMLAccess xml;
    xml.LoadXML(text);
    ASSERT_FALSE(xml.IsEmpty());
    EXPECT_EQ(xml.GetTexts("/a"), "x");
    EXPECT_GT(xml.GetXML().size(), depth * 7);
    xml.SetChildText(xml.SelectSingleNode("/a"), "a", "flat");
    EXPECT_EQ(xml.GetXML().section("\r\n", 1), "<a><a>flat</a></a>");
    xml.LoadXML(text);
    xml.RemoveChildren(pugi::xml_node(), "//a");
    EXPECT_TRUE(xml.IsEmpty());
    TQuestionManager manager(Automation);
    manager.LoadGuiQuestions(text);
    EXPECT_EQ(manager.QuestionSetCount(), 0);
}

// --- Request encodings ------------------------------------------------------------------------

TEST(DecodeRequestText, AcceptsUtf16AndUtf8WithOrWithoutMark) {
    const QString request = doc(questionSet(
        "stringform",
        QStringLiteral("<question><prompt>Kostenstelle für Ärger</prompt></question>")));
    auto encode = [&](QStringConverter::Encoding e, bool bom) {
        QStringEncoder encoder(e, bom ? QStringConverter::Flag::WriteBom
                                      : QStringConverter::Flag::Default);
        return QByteArray(encoder.encode(request));
    };
    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"utf-16le with mark", encode(QStringConverter::Utf16LE, true)},
        {"utf-16le without mark", encode(QStringConverter::Utf16LE, false)},
        {"utf-16be with mark", encode(QStringConverter::Utf16BE, true)},
        {"utf-16be without mark", encode(QStringConverter::Utf16BE, false)},
        {"utf-8 with mark", encode(QStringConverter::Utf8, true)},
        {"utf-8 without mark", encode(QStringConverter::Utf8, false)},
        {"utf-16le declared, leading blank",
         QStringEncoder(QStringConverter::Utf16LE)
             .encode(" <?xml version=\"1.0\" encoding=\"UTF-16\"?>" + request)},
    };
    for (const auto &c : cases) {
        TQuestionManager manager(Automation);
        manager.LoadGuiQuestions(c.bytes);
        ASSERT_EQ(manager.QuestionCount(), 1) << c.name;
        EXPECT_EQ(manager.Question(0)->Prompt, QString::fromUtf8("Kostenstelle für Ärger"))
            << c.name;
    }
    TQuestionManager manager(Automation);
    manager.LoadGuiQuestions(QChar(0xFEFF) + request);
    EXPECT_EQ(manager.QuestionCount(), 1);
}

// --- LoadGuiQuestions -------------------------------------------------------------------------

struct ChoiceCase {
    const char *name;
    QString formType;
    QString mandatory;
    QString items;
    QByteArrayList choices;
    QByteArrayList captions;
};

TEST(LoadGuiQuestions, ChoicesCaptionsAndNoneEntry) {
    const ChoiceCase cases[] = {
        {"value 6 without text is Yes",
         "buttonform",
         "",
         "<answeritem value=\"6\"/>",
         {"6"},
         {"&Yes"}},
        {"value 6 with text is still Yes",
         "buttonform",
         "",
         "<answeritem value=\"6\">Sure</answeritem>",
         {"6"},
         {"&Yes"}},
        {"values 1 to 7",
         "buttonform",
         "",
         "<answeritem value=\"1\"/><answeritem value=\"2\"/><answeritem value=\"3\"/>"
         "<answeritem value=\"4\"/><answeritem value=\"5\"/><answeritem value=\"7\"/>",
         {"1", "2", "3", "4", "5", "7"},
         {"&OK", "&Cancel", "&Abort", "&Retry", "&Ignore", "&No"}},
        {"text as the number", "buttonform", "", "<answeritem>2</answeritem>", {"2"}, {"&Cancel"}},
        {"value 12 without text", "buttonform", "", "<answeritem value=\"12\"/>", {"12"}, {"12"}},
        {"value 0 and 8 are not buttons",
         "buttonform",
         "",
         "<answeritem value=\"0\"/><answeritem value=\"8\">Eight</answeritem>",
         {"0", "8"},
         {"0", "Eight"}},
        {"value and caption",
         "buttonform",
         "",
         "<answeritem value=\"b\">Blue</answeritem>",
         {"b"},
         {"Blue"}},
        {"text only", "buttonform", "", "<answeritem>Red</answeritem>", {"Red"}, {"Red"}},
        {"optional list gets none first",
         "listform",
         "false",
         "<answeritem>A</answeritem><answeritem>B</answeritem><answeritem>C</answeritem>",
         {"<none>", "A", "B", "C"},
         {"<none>", "A", "B", "C"}},
        {"mandatory list has no none",
         "listform",
         "TRUE",
         "<answeritem>A</answeritem>",
         {"A"},
         {"A"}},
        {"optional button has no none",
         "buttonform",
         "",
         "<answeritem value=\"1\"/><answeritem value=\"2\"/>",
         {"1", "2"},
         {"&OK", "&Cancel"}},
        {"no items no none", "listform", "", "", {}, {}},
    };
    for (const ChoiceCase &c : cases) {
        TQuestionManager manager(Automation);
        manager.LoadGuiQuestions(doc(questionSet(
            c.formType, "<question><mandatory>" + c.mandatory + "</mandatory><answerlist>" +
                            c.items + "</answerlist></question>")));
        ASSERT_EQ(manager.QuestionCount(), 1) << c.name;
        EXPECT_EQ(manager.Question(0)->Choices, c.choices) << c.name;
        EXPECT_EQ(manager.Question(0)->Captions, c.captions) << c.name;
    }
}

TEST(LoadGuiQuestions, QuestionFieldsAndDefaults) {
    QLocale::setDefault(QLocale::c());
    TQuestionManager manager(Automation);
    manager.LoadGuiQuestions(doc(questionSet(
        "integerform", "<question><prompt>How many?</prompt><description>d</description>"
                       "<icon>3</icon><id>integerform</id><maxlength>4</maxlength>"
                       "<minlength>1</minlength><validatemax>99.5</validatemax>"
                       "<validatemin>1</validatemin><mandatory>tRuE</mandatory>"
                       "<answerdefault>7</answerdefault></question>"
                       "<question><validatemax>lots</validatemax><maxlength>x</maxlength>"
                       "<mandatory>yes</mandatory></question>")));
    QLocale::setDefault(QLocale::system());
    ASSERT_EQ(manager.QuestionCount(), 2);
    const TQuestion &a = *manager.Question(0);
    EXPECT_EQ(a.Prompt, "How many?");
    EXPECT_EQ(a.Description, "d");
    EXPECT_EQ(a.Icon, 3u);
    EXPECT_EQ(a.FormType, "integerform");
    EXPECT_EQ(a.MaxLength, 4);
    EXPECT_EQ(a.MinLength, 1);
    EXPECT_EQ(a.ValidateMax, 99.5);
    EXPECT_EQ(a.ValidateMin, 1);
    EXPECT_TRUE(a.Mandatory);
    EXPECT_EQ(a.GetAnswer(), "7") << "reset to the default";
    const TQuestion &b = *manager.Question(1);
    EXPECT_EQ(b.Icon, 0u);
    EXPECT_EQ(b.MaxLength, -1);
    EXPECT_EQ(b.MinLength, -1);
    EXPECT_EQ(b.ValidateMax, 0);
    EXPECT_FALSE(b.Mandatory);
    EXPECT_EQ(b.FormType, "");

    ASSERT_EQ(manager.QuestionSetCount(), 1);
    const TQuestionSet &set = *manager.QuestionSet(0);
    EXPECT_EQ(set.FormType, "integerform");
    EXPECT_EQ(set.Title, "T");
    EXPECT_EQ(set.Count(), 2);
    EXPECT_EQ(set.QuestionNames, QByteArrayList{""});
}

struct ConfigCase {
    const char *name;
    QString body;
    bool singleClick;
    int width;
    int height;
    int timeout;
};

TEST(LoadGuiQuestions, ConfigAndTimeout) {
    const QString q = "<question/>";
    const ConfigCase cases[] = {
        {"no config", questionSet("stringform", q), false, 520, 360, -1},
        {"config given",
         "<config><singleclick>TRUE</singleclick><clientwidth>600</clientwidth>"
         "<clientheight>400</clientheight></config>" +
             questionSet("stringform", q),
         true, 600, 400, -1},
        {"unreadable sizes",
         "<config><singleclick>yes</singleclick><clientwidth>wide</clientwidth></config>" +
             questionSet("stringform", q),
         false, 520, 360, -1},
        {"last set's timeout counts",
         questionSet("stringform", q, "<timeout>30</timeout>") +
             questionSet("stringform", q, "<timeout>60</timeout>"),
         false, 520, 360, 60},
        {"last set without timeout",
         questionSet("stringform", q, "<timeout>30</timeout>") + questionSet("stringform", q),
         false, 520, 360, -1},
        {"malformed", "<questionset>", false, 520, 360, 0},
    };
    for (const ConfigCase &c : cases) {
        TQuestionManager manager(Automation);
        manager.LoadGuiQuestions(doc(c.body));
        EXPECT_EQ(manager.FSingleClick, c.singleClick) << c.name;
        EXPECT_EQ(manager.SingleClick(), c.singleClick) << c.name;
        EXPECT_EQ(manager.FClientWidth, c.width) << c.name;
        EXPECT_EQ(manager.FClientHeight, c.height) << c.name;
        EXPECT_EQ(manager.FDialogTimeout, c.timeout) << c.name;
    }
}

TEST(LoadGuiQuestions, FixedTitlesAndPromptsAreTranslated) {
    TQuestionManager manager(Automation);
    manager.LoadGuiQuestions(
        doc("<questionset><title>Message about your print job...</title><question><prompt>Your "
            "account has been disabled. Please see your systems administrator</prompt></question>"
            "</questionset>"));
    ASSERT_EQ(manager.QuestionSetCount(), 1);
    EXPECT_EQ(manager.QuestionSet(0)->Title, "Message about your print job");
    EXPECT_EQ(manager.Question(0)->Prompt,
              "Your account has been disabled. Please see your systems administrator");
}

TEST(LoadGuiQuestions, SetWithoutQuestionsFailsAndAddsNothing) {
    TQuestionManager manager(Automation);
    EXPECT_THROW(manager.LoadGuiQuestions(doc(questionSet("stringform", "<question/>") +
                                              "<questionset><title>Empty</title></questionset>")),
                 zv::ZvError);
    EXPECT_EQ(manager.QuestionCount(), 0);
    EXPECT_EQ(manager.QuestionSetCount(), 0);
}

// --- SaveAnswersToXML -------------------------------------------------------------------------

QString answersOf(TQuestionManager &manager) {
    return manager.FQuestionXML.GetXML().section("\r\n", 1);
}

// Saving answers replaces the children of each question's answer element and of the response: a
// question set inside either would have its nodes freed under its questions.
TEST(LoadGuiQuestions, SetWhereAnswersAreWrittenIsRefused) {
    const QString filler = QStringLiteral("<a/>").repeated(550);
    const QString inner = QStringLiteral(
        "<questionsets><questionset><title>Inner</title><question/></questionset></questionsets>");
    const struct {
        const char *name;
        QString text;
        const char *where;
    } cases[] = {
        {"in an answer, padded",
         "<questionsets><questionset><question><answer>" + filler + inner + filler +
             "</answer></question></questionset></questionsets>",
         "a question"},
        {"in a prompt",
         doc(questionSet("stringform", "<question><prompt>" + inner + "</prompt></question>")),
         "a question"},
        // The outcome is written over the response's children.
        {"in the response",
         "<questionsets><response>" + filler + inner + "</response>" +
             questionSet("buttonform", "<question/>") + "</questionsets>",
         "the response"},
    };
    for (const auto &c : cases) {
        TQuestionManager manager(Automation);
        try {
            manager.LoadGuiQuestions(c.text);
            ADD_FAILURE() << c.name << ": loaded";
        } catch (const zv::ZvError &e) {
            EXPECT_EQ(e.message(),
                      QStringLiteral("The question set \"Inner\" lies inside %1").arg(c.where))
                << c.name;
        }
        EXPECT_EQ(manager.QuestionCount(), 0) << c.name;
        manager.SaveAnswersToXML(rkAnswered);
        EXPECT_TRUE(answersOf(manager).contains("<response>userresponse</response>")) << c.name;
    }

    // Beside the questions, inside their set, a set is harmless.
    TQuestionManager manager(Automation);
    manager.LoadGuiQuestions(doc(questionSet("stringform", "<question/>" + inner)));
    ASSERT_EQ(manager.QuestionCount(), 2);
    for (int i = 0; i < 2; ++i)
        manager.Question(i)->SetAnswer(QStringLiteral("x%1").arg(i));
    manager.SaveAnswersToXML(rkAnswered);
    EXPECT_TRUE(answersOf(manager).contains("<question><answer>x1</answer></question>"));
}

TEST(SaveAnswersToXML, WritesResponseAndAnswers) {
    const QString request =
        doc("<questionset><formtype>listform</formtype><question><answerlist><answeritem>A"
            "</answeritem></answerlist><answer>old</answer><answer>older</answer></question>"
            "<question/><question><answer>keep?</answer></question></questionset>");
    const struct {
        const char *name;
        int kind;
        QString first;
        QString second;
        QString third;
        QString expected;
    } cases[] = {
        {"answered", rkAnswered, "A", "", "x & y",
         "<questionsets><questionset><formtype>listform</formtype><question><answerlist>"
         "<answeritem>A</answeritem></answerlist><answer>A</answer><answer>older</answer>"
         "</question><question><answer/></question><question><answer>x &amp; y</answer>"
         "</question></questionset><response>userresponse</response></questionsets>"},
        {"none removes every answer", rkCancelled, "<none>", "b", "c",
         "<questionsets><questionset><formtype>listform</formtype><question><answerlist>"
         "<answeritem>A</answeritem></answerlist></question><question><answer>b</answer>"
         "</question><question><answer>c</answer></question></questionset>"
         "<response>usercancel</response></questionsets>"},
        {"timed out", rkTimedOut, "A", "b", "c", "usertimeout"},
    };
    for (const auto &c : cases) {
        TQuestionManager manager(Automation);
        manager.LoadGuiQuestions(request);
        ASSERT_EQ(manager.QuestionCount(), 3);
        manager.Question(0)->SetAnswer(c.first);
        manager.Question(1)->SetAnswer(c.second);
        manager.Question(2)->SetAnswer(c.third);
        manager.SaveAnswersToXML(c.kind);
        if (c.expected.startsWith('<'))
            EXPECT_EQ(answersOf(manager), c.expected) << c.name;
        else
            EXPECT_TRUE(answersOf(manager).contains("<response>" + c.expected + "</response>"))
                << c.name;
    }
}

TEST(SaveAnswersToXML, ExistingResponseIsOverwritten) {
    TQuestionManager manager(Automation);
    manager.LoadGuiQuestions("<wrap><questionsets><response>usercancel</response>" +
                             questionSet("stringform", "<question/>") + "</questionsets></wrap>");
    EXPECT_EQ(manager.QuestionCount(), 1);
    manager.SaveAnswersToXML(rkAnswered);
    EXPECT_EQ(answersOf(manager).count("<response>"), 1);
    EXPECT_TRUE(answersOf(manager).contains("<response>userresponse</response>"));
}

TEST(SaveAnswersToXML, ANewRequestReplacesTheQuestionsOfTheLastOne) {
    TQuestionManager manager(Automation);
    manager.LoadGuiQuestions(doc(questionSet("stringform", "<question/><question/>")));
    manager.LoadGuiQuestions(doc(questionSet("stringform", "<question><id>x</id></question>")));
    ASSERT_EQ(manager.QuestionCount(), 1);
    EXPECT_EQ(manager.QuestionSetCount(), 1);
    manager.Question(0)->SetAnswer("new");
    manager.SaveAnswersToXML(rkAnswered);
    EXPECT_TRUE(answersOf(manager).contains("<id>x</id><answer>new</answer>"));
}

TEST(SaveAnswersToXML, MalformedRequestWritesNothing) {
    TQuestionManager manager(Automation);
    manager.LoadGuiQuestions(QStringLiteral("<questionsets><questionset>"));
    EXPECT_EQ(manager.QuestionSetCount(), 0);
    manager.SaveAnswersToXML(rkAnswered);
    EXPECT_TRUE(manager.FQuestionXML.IsEmpty());
    EXPECT_THROW(manager.FQuestionXML.GetXML(), zv::ZvError);
}

TEST(SaveAnswersToXML, LargeRequestRoundTrips) {
    const int count = 10000;
    QString body;
    body.reserve(11 * 1024 * 1024);
    const QString padding(900, u'p');
    for (int i = 0; i < count; ++i)
        body += "<questionset><formtype>stringform</formtype><title>Set " + QString::number(i) +
                "</title><question><prompt>Question " + QString::number(i) +
                "</prompt><description>" + padding +
                "</description><id>stringform</id>"
                "</question></questionset>";
    const QString request = doc(body);
    ASSERT_GT(request.toUtf8().size(), 9 * 1024 * 1024);
    TQuestionManager manager(Automation);
    manager.LoadGuiQuestions(request);
    ASSERT_EQ(manager.QuestionCount(), count);
    for (int i = 0; i < count; ++i)
        manager.Question(i)->SetAnswer(QString::number(i));
    manager.SaveAnswersToXML(rkAnswered);
    const QString answers = manager.FQuestionXML.GetXML();
    EXPECT_TRUE(answers.contains("<answer>9999</answer></question>"));
    TQuestionManager again(Automation);
    again.LoadGuiQuestions(answers);
    EXPECT_EQ(again.QuestionCount(), count);
}

} // namespace
