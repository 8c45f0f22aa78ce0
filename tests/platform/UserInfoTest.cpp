// SPDX-License-Identifier: MIT
#include "TestSupport.h"
#include "ZvUserInfo.h"

#include <pwd.h>
#include <unistd.h>

namespace {

TEST(UserInfo, NameFormsDescribeTheEffectiveAccount) {
    const passwd *pw = ::getpwuid(::geteuid());
    ASSERT_NE(pw, nullptr);
    const QString login = QString::fromLocal8Bit(pw->pw_name);
    const QString host = zv::hostName();
    ASSERT_FALSE(host.isEmpty());
    EXPECT_EQ(zv::loginName(), login);
    EXPECT_EQ(zv::tokenAccountName(), login);
    EXPECT_EQ(zv::userNameEx(zv::NameSamCompatible),
              host.section(QLatin1Char('.'), 0, 0).toUpper() + "\\" + login);
    EXPECT_EQ(zv::userNameEx(zv::NameUserPrincipal), login + "@" + host);
    const QString full = zv::gecosFullName(pw->pw_gecos);
    EXPECT_EQ(zv::userNameEx(zv::NameDisplay),
              full.isEmpty() ? std::nullopt : std::optional<QString>(full));
    for (int directoryForm : {0, 1, 6, 7, 9, 10, 12})
        EXPECT_FALSE(zv::userNameEx(directoryForm)) << directoryForm;
}

TEST(UserInfo, FullNameIsTheFirstGecosField) {
    EXPECT_EQ(zv::gecosFullName("  Anna Berg ,Room 4,555-1234,,"), QStringLiteral("Anna Berg"));
    EXPECT_EQ(zv::gecosFullName("J\xc3\xbcrg M\xc3\xbcller"),
              QStringLiteral("J\u00fcrg M\u00fcller"));
    EXPECT_EQ(zv::gecosFullName(",,,"), QString());
    EXPECT_EQ(zv::gecosFullName(""), QString());
}

TEST(UserInfo, SessionNumberIsANumericSessionIdElseZero) {
    const std::pair<QByteArray, int> cases[] = {{"17", 17}, {"0", 0}, {"c2", 0},         {"-3", 0},
                                                {" 4", 0},  {"", 0},  {"99999999999", 0}};
    for (const auto &[value, expected] : cases) {
        zvtest::ScopedEnv env("XDG_SESSION_ID", value);
        EXPECT_EQ(zv::terminalSessionId(), expected) << value.toStdString();
    }
    zvtest::ScopedEnv restore("XDG_SESSION_ID", "1");
    qunsetenv("XDG_SESSION_ID");
    EXPECT_EQ(zv::terminalSessionId(), 0);
}

} // namespace
