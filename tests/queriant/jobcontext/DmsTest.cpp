// SPDX-License-Identifier: MIT
// The document-management bridge with the real sample plug-in loaded through QLibrary.
#include "DMS.h"
#include "Fixtures.h"

namespace {

const QByteArray PluginPath = ZV_BIN_DIR "/plugins/libzvdmssample.so";

QByteArray configFor(const QByteArray &library, const QByteArray &rest = {}) {
    return "[DLL]\r\nDLL Name = " + library + "\r\n" + rest;
}

QString errorOf(TDMS &dms, const QString &document) {
    try {
        dms.GetDocumentInfo(document);
    } catch (const EDmsError &e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

} // namespace

TEST(IniValue, FindsKeysIgnoringCaseAndBlanks) {
    const QByteArray ini = "; comment\n[Other]\nDLL Name=wrong\n[ dll ]\n  dll name  =  lib.so \n";
    EXPECT_EQ(IniValue(ini, "DLL", "DLL Name"), QByteArray("lib.so"));
    EXPECT_EQ(IniValue(ini, "DLL", "Missing"), QByteArray());
    EXPECT_EQ(IniValue("DLL Name=x\n", "DLL", "DLL Name"), QByteArray());
}

// The sample plug-in comes from the tools folder, which a partial build may leave out.
#ifdef ZV_HAVE_DMS_PLUGIN
#define REQUIRE_PLUGIN()
#else
#define REQUIRE_PLUGIN() GTEST_SKIP() << "built without the tools folder"
#endif

TEST(Dms, ReturnsThePluginsCodesAndValuesInOrder) {
    REQUIRE_PLUGIN();
    jobtest::CaptureLog log;
    TDMS dms(configFor(PluginPath, "[Codes]\nDept=D200\nProject=P210\n"
                                   "[Document:empty.doc]\n[Document:special.doc]\nDept=D300\n"));
    EXPECT_TRUE(log.has(QStringLiteral("DmsDllName=") + QString::fromUtf8(PluginPath)));
    dms.GetDocumentInfo(QStringLiteral("report.pdf"));
    EXPECT_EQ(dms.Codes, QByteArrayList({"Dept", "Project"}));
    EXPECT_EQ(dms.Values, QByteArrayList({"D200", "P210"}));
    EXPECT_TRUE(log.has(QStringLiteral("DmsDocInfo: Code=\"Project\" Value=\"P210\"")));

    dms.GetDocumentInfo(QStringLiteral("special.doc"));
    EXPECT_EQ(dms.Codes, QByteArrayList({"Dept"}));
    EXPECT_EQ(dms.Values, QByteArrayList({"D300"}));
}

TEST(Dms, EmptyAnswerSucceeds) {
    REQUIRE_PLUGIN();
    TDMS dms(configFor(PluginPath));
    dms.GetDocumentInfo(QStringLiteral("report.pdf"));
    EXPECT_EQ(dms.Count, 0);
    EXPECT_TRUE(dms.Codes.isEmpty());
    EXPECT_TRUE(dms.Values.isEmpty());
}

TEST(Dms, ErrorTexts) {
    REQUIRE_PLUGIN();
    zvtest::Sandbox sandbox;
    const QString notALibrary = sandbox.writeFile(QStringLiteral("fake.so"), "not a library");
    struct Case {
        const char *name;
        QByteArray config;
        QString expected;
    };
    const Case cases[] = {
        {"no DLL section", "[Codes]\nDept=D1\n", QStringLiteral("The DMS Dll name is empty.")},
        {"not a library", configFor(notALibrary.toUtf8()),
         QStringLiteral("Failed to load the dll - \"%1\".").arg(notALibrary)},
        // The C library is always there and exports no such function.
        {"no entry point", configFor("libc.so.6"),
         QStringLiteral("The Dll entry point could not be found.")},
        {"plug-in refuses the document", configFor(PluginPath, "[Fail]\nsecret.doc=13\n"),
         QStringLiteral("Failed to get information for the document:secret.doc, error:13")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TDMS dms(c.config);
        EXPECT_EQ(errorOf(dms, QStringLiteral("secret.doc")), c.expected);
        EXPECT_TRUE(dms.Codes.isEmpty());
    }
}
