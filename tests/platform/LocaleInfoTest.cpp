// SPDX-License-Identifier: MIT
#include "TestSupport.h"
#include "ZvLocaleInfo.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <cstdlib>

#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(LocaleInfo, LanguageIdsOfTheLanguageFileColumns) {
    const std::pair<QLocale::Language, int> cases[] = {
        {QLocale::English, 9},  {QLocale::German, 7}, {QLocale::French, 12}, {QLocale::Italian, 16},
        {QLocale::Spanish, 10}, {QLocale::Arabic, 1}, {QLocale::C, 9},       {QLocale::Dutch, 0}};
    for (const auto &[language, id] : cases)
        EXPECT_EQ(zv::languageId(language), id)
            << QLocale::languageToString(language).toStdString();
    EXPECT_EQ(zv::userLanguageId(QLocale(QStringLiteral("de_CH"))), zv::LANG_GERMAN);
}

struct LocaleCase {
    const char *name;
    QString decimal;
    QString march;
    QString dateSep;
    QString timeSep;
    bool rightToLeft;
    QString english;
};

TEST(LocaleInfo, NumberDateAndDirectionFollowTheLocale) {
    const LocaleCase cases[] = {
        {"en_US", ".", "Mar", "/", ":", false, "English"},
        {"de_DE", ",", "M\u00e4rz", ".", ":", false, "German"},
        {"ar_SA", "\u066b", "\u0645\u0627\u0631\u0633", "/", ":", true, "Arabic"},
    };
    for (const LocaleCase &c : cases) {
        SCOPED_TRACE(c.name);
        const QLocale loc{QString::fromLatin1(c.name)};
        EXPECT_EQ(zv::decimalSeparator(loc), c.decimal);
        EXPECT_EQ(zv::monthAbbreviation(3, loc), c.march);
        EXPECT_EQ(zv::dateSeparator(loc), c.dateSep);
        EXPECT_EQ(zv::timeSeparator(loc), c.timeSep);
        EXPECT_EQ(zv::isRightToLeft(loc), c.rightToLeft);
        EXPECT_EQ(zv::englishLanguageName(loc), c.english);
    }
}

TEST(LocaleInfo, CodesetOfTheCLibraryLocale) {
    EXPECT_EQ(zv::codeset("C.UTF-8"), QByteArray("UTF-8"));
    EXPECT_EQ(zv::codeset("C"), QByteArray("ANSI_X3.4-1968"));
    EXPECT_EQ(zv::codeset("xx_NOWHERE.UTF-8"), QByteArray());
    EXPECT_FALSE(zv::codeset().isEmpty());
}

TEST(LocaleInfo, CurrencyDigitsDefaultToTwoWhenTheLocaleDoesNotSay) {
    EXPECT_EQ(zv::currencyDigits("C"), 2); // the C locale leaves it open
    EXPECT_EQ(zv::currencyDigits("xx_NOWHERE.UTF-8"), 2);
    const int own = zv::currencyDigits();
    EXPECT_TRUE(own >= 0 && own <= 4) << own;
}

// A locale whose amounts carry three decimals, compiled for this test from the C library's
// locale sources, so that the value comes from the locale and not from the default.
TEST(LocaleInfo, CurrencyDigitsComeFromTheLocale) {
    const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
    if (localedef.isEmpty() || !QFile::exists(QStringLiteral("/usr/share/i18n/locales/ar_KW")))
        GTEST_SKIP() << "needs localedef and the ar_KW locale source (Debian package locales)";
    zvtest::Sandbox box;
    QProcess def;
    def.start(localedef, {QStringLiteral("-i"), QStringLiteral("ar_KW"), QStringLiteral("-f"),
                          QStringLiteral("UTF-8"), box.path(QStringLiteral("ar_KW.UTF-8"))});
    ASSERT_TRUE(def.waitForFinished(60000));
    ASSERT_EQ(def.exitCode(), 0) << def.readAllStandardError().toStdString();
    // The C library keeps what it read from LOCPATH for the rest of the process, so ask in a
    // child process and keep this one clean.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("LOCPATH", box.dir().toLocal8Bit().constData(), 1);
        const int digits = zv::currencyDigits("ar_KW.UTF-8");
        ::_exit(zv::codeset("ar_KW.UTF-8") == "UTF-8" ? digits : 100);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
}

} // namespace
