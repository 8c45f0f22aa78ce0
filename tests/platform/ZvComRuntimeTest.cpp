// SPDX-License-Identifier: MIT
#include "ZvComRuntime.h"
#include "TestSupport.h"
#include "ZvRegistry.h"

#include <QFile>

#include <thread>

using namespace zv;

namespace {

const QUuid kSampleClsid{QStringLiteral("{6A1C9E20-3F4B-4C55-9D0E-2B7A8C1D4E5F}")};
const QUuid kOtherIid{QStringLiteral("{0F0E0D0C-0B0A-0908-0706-050403020100}")};

QString pluginPath(const char *name) {
    return QStringLiteral(ZV_BIN_DIR "/plugins/lib%1.so").arg(QLatin1String(name));
}

void registerInproc(RegRoot root, const QString &progId, const QUuid &clsid,
                    const QString &server) {
    if (!progId.isEmpty())
        ZvRegKey::create(root, progId + QStringLiteral("\\CLSID"))
            .writeString(QString(), clsidString(clsid));
    ZvRegKey::create(root, QStringLiteral("CLSID\\%1\\InprocServer32").arg(clsidString(clsid)))
        .writeString(QString(), server);
}

// A class object living in the test, to check the registered-class table.
class CountingFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(const QUuid &iid, void **object) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory *>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    quint32 AddRef() override { return ++refs; }
    quint32 Release() override { return --refs; }
    HRESULT CreateInstance(IUnknown *outer, const QUuid &iid, void **object) override {
        ++created;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return QueryInterface(iid, object);
    }
    HRESULT LockServer(bool) override { return S_OK; }

    int refs = 1;
    int created = 0;
};

class RunnableObject final : public IRunnableObject {
public:
    HRESULT QueryInterface(const QUuid &iid, void **object) override {
        if (iid == IID_IUnknown || (iid == IID_IRunnableObject && runnable)) {
            *object = static_cast<IRunnableObject *>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    quint32 AddRef() override { return 1; }
    quint32 Release() override { return 1; }
    HRESULT Run() override {
        ++runs;
        return runResult;
    }

    bool runnable = true;
    HRESULT runResult = S_OK;
    int runs = 0;
};

} // namespace

TEST(ZvComRuntime, ClassIdStrings) {
    struct Case {
        const char *name;
        QString text;
        HRESULT expected;
    } cases[] = {
        {"upper case", QStringLiteral("{6A1C9E20-3F4B-4C55-9D0E-2B7A8C1D4E5F}"), S_OK},
        {"lower case", QStringLiteral("{6a1c9e20-3f4b-4c55-9d0e-2b7a8c1d4e5f}"), S_OK},
        {"no braces", QStringLiteral("6A1C9E20-3F4B-4C55-9D0E-2B7A8C1D4E5F"), CO_E_CLASSSTRING},
        {"leading space", QStringLiteral(" {6A1C9E20-3F4B-4C55-9D0E-2B7A8C1D4E5F}"),
         CO_E_CLASSSTRING},
        {"short", QStringLiteral("{6A1C9E20-3F4B-4C55-9D0E-2B7A8C1D4E5}"), CO_E_CLASSSTRING},
        {"not hex", QStringLiteral("{6A1C9E20-3F4B-4C55-9D0E-2B7A8C1D4EXX}"), CO_E_CLASSSTRING},
    };
    for (const Case &c : cases) {
        QUuid clsid;
        EXPECT_EQ(CLSIDFromString(c.text, &clsid), c.expected) << c.name;
        if (c.expected == S_OK) {
            EXPECT_EQ(clsid, kSampleClsid) << c.name;
        }
    }
    EXPECT_EQ(clsidString(kSampleClsid), QStringLiteral("{6A1C9E20-3F4B-4C55-9D0E-2B7A8C1D4E5F}"));
}

TEST(ZvComRuntime, ProgIdLookupUsesUserClassesBeforeMachineClasses) {
    zvtest::Sandbox sandbox;
    const QUuid userClsid = QUuid::createUuid();
    QUuid clsid;
    EXPECT_EQ(CLSIDFromProgID(QStringLiteral("Zv.Sample"), &clsid), CO_E_CLASSSTRING);

    registerInproc(RegRoot::ClassesRoot, QStringLiteral("Zv.Sample"), kSampleClsid, QString());
    ASSERT_EQ(CLSIDFromProgID(QStringLiteral("zv.sample"), &clsid), S_OK);
    EXPECT_EQ(clsid, kSampleClsid);
    EXPECT_EQ(CLSIDFromProgID(QStringLiteral(" Zv.Sample"), &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(QStringLiteral("Zv.Sample\\CLSID"), &clsid), CO_E_CLASSSTRING);

    registerInproc(RegRoot::UserClasses, QStringLiteral("Zv.Sample"), userClsid, QString());
    ASSERT_EQ(CLSIDFromProgID(QStringLiteral("Zv.Sample"), &clsid), S_OK);
    EXPECT_EQ(clsid, userClsid);

    ZvRegKey::create(RegRoot::ClassesRoot, QStringLiteral("Zv.Broken\\CLSID"))
        .writeString(QString(), QStringLiteral("not a class id"));
    EXPECT_EQ(CLSIDFromProgID(QStringLiteral("Zv.Broken"), &clsid), CO_E_CLASSSTRING);
}

TEST(ZvComRuntime, CreatesInprocObjectFromSharedLibrary) {
    zvtest::Sandbox sandbox;
    const QString library = pluginPath("zvsamplenotifications");
    ASSERT_TRUE(QFile::exists(library)) << "build the zv_sample_plugins target first";
    registerInproc(RegRoot::ClassesRoot, QString(), kSampleClsid,
                   QLatin1Char('"') + library + QLatin1Char('"'));

    ZvComPtr<IUnknown> object;
    ASSERT_EQ(CoCreateInstance(kSampleClsid, nullptr, CLSCTX_ALL, IID_IUnknown, object.putVoid()),
              S_OK);
    ASSERT_TRUE(object);
    // Reference counting: one for us; AddRef/Release report the count.
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    void *other = reinterpret_cast<void *>(1);
    EXPECT_EQ(object->QueryInterface(kOtherIid, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    // Aggregation is refused and the out-pointer is cleared.
    void *aggregated = reinterpret_cast<void *>(1);
    EXPECT_EQ(CoCreateInstance(kSampleClsid, object.get(), CLSCTX_ALL, IID_IUnknown, &aggregated),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(aggregated, nullptr);
    // Only in-process classes live in libraries.
    EXPECT_EQ(
        CoCreateInstance(kSampleClsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &aggregated),
        REGDB_E_CLASSNOTREG);
}

TEST(ZvComRuntime, ReportsMissingClassLibraryAndExport) {
    zvtest::Sandbox sandbox;
    const QUuid missingLibrary = QUuid::createUuid();
    const QUuid missingExport = QUuid::createUuid();
    const QUuid emptyServer = QUuid::createUuid();
    registerInproc(RegRoot::ClassesRoot, QString(), missingLibrary,
                   sandbox.path(QStringLiteral("nowhere/libgone.so")));
    registerInproc(RegRoot::ClassesRoot, QString(), missingExport, pluginPath("zvsamplenoexport"));
    registerInproc(RegRoot::ClassesRoot, QString(), emptyServer, QString());
    ASSERT_TRUE(QFile::exists(pluginPath("zvsamplenoexport")));

    struct Case {
        const char *name;
        QUuid clsid;
        HRESULT expected;
    } cases[] = {
        {"class not registered", QUuid::createUuid(), REGDB_E_CLASSNOTREG},
        {"empty InprocServer32", emptyServer, REGDB_E_CLASSNOTREG},
        {"library missing", missingLibrary, E_MOD_NOT_FOUND},
        {"export missing", missingExport, CO_E_ERRORINDLL},
    };
    for (const Case &c : cases) {
        void *object = reinterpret_cast<void *>(1);
        EXPECT_EQ(CoCreateInstance(c.clsid, nullptr, CLSCTX_ALL, IID_IUnknown, &object), c.expected)
            << c.name;
        EXPECT_EQ(object, nullptr) << c.name;
    }
    EXPECT_EQ(CoCreateInstance(missingExport, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr),
              E_POINTER);
}

TEST(ZvComRuntime, RegisteredClassObjectsServeLocalRequestsOnceResumed) {
    zvtest::Sandbox sandbox;
    const QUuid clsid = QUuid::createUuid();
    CountingFactory factory;
    quint32 cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(clsid, &factory, CLSCTX_LOCAL_SERVER,
                                    REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &cookie),
              S_OK);
    EXPECT_EQ(factory.refs, 2);

    void *object = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    ASSERT_EQ(CoResumeClassObjects(), S_OK);
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, static_cast<IUnknown *>(static_cast<IClassFactory *>(&factory)));
    static_cast<IUnknown *>(object)->Release();
    EXPECT_EQ(factory.created, 1);

    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(factory.refs, 1);
    EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
              REGDB_E_CLASSNOTREG);
}

TEST(ZvComRuntime, OleRunRunsOnlyRunnableObjects) {
    RunnableObject runnable;
    EXPECT_EQ(OleRun(&runnable), S_OK);
    EXPECT_EQ(runnable.runs, 1);
    runnable.runResult = E_ABORT;
    EXPECT_EQ(OleRun(&runnable), E_ABORT);
    runnable.runnable = false;
    EXPECT_EQ(OleRun(&runnable), S_OK);
    EXPECT_EQ(runnable.runs, 2);
    EXPECT_EQ(OleRun(nullptr), E_POINTER);
}

TEST(ZvComRuntime, ErrorInformationBelongsToTheThreadAndIsTakenOnce) {
    SetErrorInfo(ZvErrorInfo{QStringLiteral("disk on fire"), QStringLiteral("Sample")});
    std::optional<ZvErrorInfo> seenByOtherThread = ZvErrorInfo{};
    std::thread([&] { seenByOtherThread = GetErrorInfo(); }).join();
    EXPECT_FALSE(seenByOtherThread.has_value());
    const auto mine = GetErrorInfo();
    ASSERT_TRUE(mine.has_value());
    EXPECT_EQ(mine->description, QStringLiteral("disk on fire"));
    EXPECT_FALSE(GetErrorInfo().has_value());
}

TEST(ZvComRuntime, SystemMessagesForKnownCodes) {
    EXPECT_EQ(comErrorMessage(E_FAIL), QStringLiteral("Unspecified error"));
    EXPECT_EQ(comErrorMessage(REGDB_E_CLASSNOTREG), QStringLiteral("Class not registered"));
    EXPECT_EQ(comErrorMessage(E_NOINTERFACE), QStringLiteral("No such interface supported"));
    EXPECT_FALSE(comErrorMessage(hresult(0x80040201)).has_value());
}
