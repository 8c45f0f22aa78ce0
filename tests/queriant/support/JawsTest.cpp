// SPDX-License-Identifier: MIT
#include "JAWS.h"
#include "TestSupport.h"
#include "ZvRegistry.h"

#include <QDir>
#include <QFile>

namespace {

// A user with JAWS settings: AppData, the installed-versions key and the folder.
class JawsSandbox {
public:
    explicit JawsSandbox(bool withFolder = true)
        : appData("AppData", box.path(QStringLiteral("appdata")).toLocal8Bit()) {
        zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                             QStringLiteral("Software\\Freedom Scientific\\JAWS\\2024"));
        zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                             QStringLiteral("Software\\Freedom Scientific\\JAWS\\2025"));
        if (withFolder)
            QDir().mkpath(folder());
    }
    QString folder() const {
        return box.path(QStringLiteral("appdata/Freedom Scientific/JAWS/2024/Settings/enu"));
    }
    QByteArray read(TJawsScreen screen) const {
        QFile f(folder() + QLatin1Char('/') + JawsScreenFileName(screen));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    zvtest::Sandbox box;
    zvtest::ScopedEnv appData;
};

TEST(JawsSettingsFolder, NeedsTheVariableTheKeyAndTheFolder) {
    {
        JawsSandbox jaws;
        EXPECT_EQ(JawsSettingsFolder(), jaws.folder()) << "first installed version wins";
    }
    {
        JawsSandbox jaws(false);
        EXPECT_EQ(JawsSettingsFolder(), QString()) << "folder missing";
        JawsWriteScreen(TJawsScreen::Integer, QStringLiteral("Title"));
        EXPECT_FALSE(QDir(jaws.box.path(QStringLiteral("appdata"))).exists()) << "nothing created";
    }
    {
        JawsSandbox jaws;
        zvtest::ScopedEnv noAppData("AppData", QByteArray());
        qunsetenv("AppData");
        EXPECT_EQ(JawsSettingsFolder(), QString()) << "variable unset";
    }
    {
        zvtest::Sandbox box;
        zvtest::ScopedEnv appData("AppData", box.dir().toLocal8Bit());
        EXPECT_EQ(JawsSettingsFolder(), QString()) << "no JAWS key";
    }
}

TEST(JawsScreenFiles, EntryScreenThenControlsThenErrors) {
    JawsSandbox jaws;
    QFile::remove(jaws.folder() + "/JAWSForQueriantIntegerQuestionForm.ini");
    JawsWriteControl(TJawsScreen::Integer, QStringLiteral("AnswerEdit"), QStringLiteral("Q"),
                     QString());
    EXPECT_EQ(jaws.read(TJawsScreen::Integer), "<missing>") << "control writer needs the screen";

    JawsWriteScreen(TJawsScreen::Integer, QStringLiteral("Print Job Details"));
    EXPECT_EQ(jaws.read(TJawsScreen::Integer),
              "[IntegerQuestionScreen]\r\nTitle=Print Job Details\r\n");

    JawsWriteControl(TJawsScreen::Integer, QStringLiteral("AnswerEdit"),
                     QStringLiteral("How many copies?"), QString());
    JawsWriteControl(TJawsScreen::Integer, QString(), QString(),
                     QStringLiteral("Value is not a whole number"));
    EXPECT_EQ(jaws.read(TJawsScreen::Integer),
              "[IntegerQuestionScreen]\r\nTitle=Print Job Details\r\nCurrentControl=AnswerEdit\r\n"
              "AnswerEditPrompt=How many copies?\r\nError=Value is not a whole number\r\n");

    JawsWriteControl(TJawsScreen::Integer, QStringLiteral("AnswerEditB"), QStringLiteral("Q2"),
                     QString());
    EXPECT_EQ(jaws.read(TJawsScreen::Integer),
              "[IntegerQuestionScreen]\r\nTitle=Print Job Details\r\nCurrentControl=AnswerEditB\r\n"
              "AnswerEditPrompt=How many copies?\r\nAnswerEditBPrompt=Q2\r\n")
        << "the key keeps its place; an empty error removes the key";

    JawsWriteScreen(TJawsScreen::Integer, QStringLiteral("Next"));
    EXPECT_EQ(jaws.read(TJawsScreen::Integer), "[IntegerQuestionScreen]\r\nTitle=Next\r\n")
        << "a new screen starts a fresh file";
}

TEST(JawsScreenFiles, NamesPerDialogKind) {
    const struct {
        TJawsScreen screen;
        const char *file;
        const char *section;
    } cases[] = {
        {TJawsScreen::Integer, "JAWSForQueriantIntegerQuestionForm.ini", "IntegerQuestionScreen"},
        {TJawsScreen::String, "JAWSForQueriantStringQuestionForm.ini", "StringQuestionScreen"},
        {TJawsScreen::Float, "JAWSForQueriantFloatQuestionForm.ini", "FloatQuestionScreen"},
        {TJawsScreen::Money, "JAWSForQueriantMoneyQuestionForm.ini", "MoneyQuestionScreen"},
        {TJawsScreen::Logon, "JAWSForQueriantLogonQuestionForm.ini", "LogonQuestionScreen"},
        {TJawsScreen::GuestCard, "JAWSForQueriantGuestCardQuestionForm.ini",
         "GuestCardQuestionScreen"},
        {TJawsScreen::List, "JAWSForQueriantListQuestionForm.ini", "ListQuestionScreen"},
        {TJawsScreen::Button, "JAWSForQueriantButtonQuestionForm.ini", "ButtonQuestionScreen"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(JawsScreenFileName(c.screen), QLatin1String(c.file));
        EXPECT_EQ(JawsScreenSection(c.screen), QLatin1String(c.section));
    }
}

TEST(JawsScreenFiles, ListAndButtonScreens) {
    JawsSandbox jaws;
    JawsWriteListScreen(QStringLiteral("T"), QStringLiteral("Pick (one)"), QStringLiteral("B"),
                        QStringLiteral("Choose (any) value"),
                        {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}, QString());
    EXPECT_EQ(jaws.read(TJawsScreen::List),
              "[ListQuestionScreen]\r\nTitle=T\r\nQuestion=Pick (one)\r\nDefaultValue=B\r\n"
              "Description=Choose any value\r\nListOptions=A\tB\tC\t\r\n");

    JawsWriteButtonScreen(QStringLiteral("T"), QStringLiteral("It's (really)\nyours?"),
                          QStringLiteral("(d)"), QStringLiteral("E"));
    EXPECT_EQ(jaws.read(TJawsScreen::Button),
              "[ButtonQuestionScreen]\r\nTitle=T\r\nQuestion=Its really yours?\r\n"
              "Description=d\r\nError=E\r\n");
}

TEST(ProfileWrites, KeepOtherSectionsAndMatchKeysIgnoringCase) {
    zvtest::Sandbox box;
    const QString file =
        box.writeFile(QStringLiteral("x.ini"), "[One]\r\nA=1\r\n\r\n[Two]\r\nb=2\r\n");
    WriteProfileString(file, QStringLiteral("one"), QStringLiteral("C"), QStringLiteral("3"));
    WriteProfileString(file, QStringLiteral("Two"), QStringLiteral("B"), QStringLiteral("22"));
    DeleteProfileKey(file, QStringLiteral("One"), QStringLiteral("a"));
    DeleteProfileKey(file, QStringLiteral("Three"), QStringLiteral("a"));
    EXPECT_EQ(box.readFile(QStringLiteral("x.ini")), "[One]\r\nC=3\r\n\r\n[Two]\r\nB=22\r\n");
}

} // namespace
