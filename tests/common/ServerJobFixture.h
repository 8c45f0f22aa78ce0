// SPDX-License-Identifier: MIT
// The fixture of the tests that run a popup-server job against the real zvpopupd: a sandbox,
// the server on a scenario of the test's own, and a question manager over the job section.
// Header-only: ZV_BIN_DIR and ZV_HAVE_POPUPD are the including test target's.
#pragma once

#include "AesUse.h"
#include "QuestionManager.h"
#include "ServerJobSetup.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace zvtest {

class ServerJobFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TAesUse::Init(); }
    void SetUp() override {
#ifndef ZV_HAVE_POPUPD
        GTEST_SKIP() << "built without the tools folder";
#endif
    }
    void TearDown() override {
        manager.reset();
        setup.reset();
    }

    // zvpopupd on the scenario, with a small key for speed and the test's further arguments;
    // a server started before goes first.
    void startServer(const QByteArray &scenario, const QStringList &arguments = {},
                     int receiveTimeoutSeconds = 10) {
        manager.reset();
        setup.reset();
        setup = std::make_unique<ServerJobSetup>(
            QStringLiteral(ZV_BIN_DIR "/zvpopupd"),
            sandbox.writeFile(QStringLiteral("s.json"), scenario), logPath,
            QStringList{QStringLiteral("--key-bits"), QStringLiteral("512")} + arguments,
            receiveTimeoutSeconds);
        ASSERT_GT(setup->port(), 0);
    }
    // The job section for alice's print of document on queue, and a manager over it (not
    // started yet).
    void makeManager(const QByteArray &queue, const QByteArray &document = "report.pdf",
                     qint32 pages = 1, TPopupServerJob **source = nullptr) {
        setup->writeJob(sectionName, queue, document, pages);
        manager = setup->makeManager(source);
    }

    TQuestion &q(const QString &name) {
        for (const auto &question : manager->FQuestionList)
            if (question->Name == name)
                return *question;
        throw std::runtime_error("no such question");
    }
    // How often the server logged a request line.
    int requests(const QByteArray &line) const {
        return int(sandbox.readFile(QStringLiteral("server.log")).count(line));
    }

    Sandbox sandbox;
    QString logPath = sandbox.path(QStringLiteral("server.log"));
    QString sectionName = sandbox.uniqueName(QStringLiteral("job"));
    std::unique_ptr<ServerJobSetup> setup;
    std::unique_ptr<TQuestionManager> manager;
};

} // namespace zvtest
