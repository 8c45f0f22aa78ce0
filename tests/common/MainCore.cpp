// SPDX-License-Identifier: MIT
#include "TestMain.h"
#include "TestSupport.h"

#include <QCoreApplication>

#include <gmock/gmock.h>

int main(int argc, char **argv) {
    zvtest::prepareTestProcess();
    ::testing::InitGoogleMock(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
