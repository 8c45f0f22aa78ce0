// SPDX-License-Identifier: MIT
#include "TestSupport.h"
#include "ZvProcessInfo.h"

#include <QFileInfo>

TEST(ProcessInfo, ModulePathIsThisTestExecutable) {
    const QFileInfo exe(zv::modulePath());
    EXPECT_TRUE(exe.isExecutable());
    EXPECT_EQ(exe.fileName(), QStringLiteral("test_platform"));
    EXPECT_EQ(zv::moduleDir(), exe.absolutePath());
}
