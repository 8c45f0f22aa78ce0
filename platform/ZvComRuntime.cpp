// SPDX-License-Identifier: MIT
#include "ZvComRuntime.h"

#include "ZvRegistry.h"

#include <QHash>
#include <QRegularExpression>

#include <dlfcn.h>
#include <map>
#include <mutex>

namespace zv {

namespace {

// Per-user registrations override the machine's, as in the merged classes root.
std::optional<QString> readClassesDefault(const QString &keyPath) {
    for (RegRoot root : {RegRoot::UserClasses, RegRoot::ClassesRoot}) {
        try {
            if (auto key = ZvRegKey::open(root, keyPath)) {
                if (auto text = key->readString(QString()))
                    return text;
            }
        } catch (const ZvRegistryError &) {
            // An unreadable hive is treated as one without the key.
        }
    }
    return std::nullopt;
}

struct RegisteredClass {
    QUuid clsid;
    IClassFactory *factory = nullptr;
    quint32 context = 0;
    bool suspended = false;
};

struct ClassTable {
    std::mutex lock;
    std::map<quint32, RegisteredClass> classes;
    quint32 nextCookie = 1;
};

ClassTable &classTable() {
    static ClassTable table;
    return table;
}

// Libraries stay loaded for the life of the process: objects they created may outlive
// every reference the layer could track.
struct LibraryCache {
    std::mutex lock;
    QHash<QString, void *> handles;
};

LibraryCache &libraryCache() {
    static LibraryCache cache;
    return cache;
}

HRESULT loadClassObjectExport(const QString &path, ZvDllGetClassObjectFn *fn) {
    LibraryCache &cache = libraryCache();
    std::lock_guard guard(cache.lock);
    void *handle = cache.handles.value(path);
    if (!handle) {
        handle = ::dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return E_MOD_NOT_FOUND;
        cache.handles.insert(path, handle);
    }
    void *symbol = ::dlsym(handle, "DllGetClassObject");
    if (!symbol)
        return CO_E_ERRORINDLL;
    *fn = reinterpret_cast<ZvDllGetClassObjectFn>(symbol);
    return S_OK;
}

QString unquote(QString path) {
    path = path.trimmed();
    if (path.size() >= 2 && path.startsWith(QLatin1Char('"')) && path.endsWith(QLatin1Char('"')))
        path = path.mid(1, path.size() - 2);
    return path;
}

HRESULT registeredClassObject(const QUuid &clsid, const QUuid &iid, void **object) {
    ClassTable &table = classTable();
    IClassFactory *factory = nullptr;
    {
        std::lock_guard guard(table.lock);
        for (const auto &[cookie, entry] : table.classes) {
            if (entry.clsid == clsid && !entry.suspended && (entry.context & CLSCTX_LOCAL_SERVER)) {
                factory = entry.factory;
                factory->AddRef();
                break;
            }
        }
    }
    if (!factory)
        return REGDB_E_CLASSNOTREG;
    const HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

HRESULT inprocClassObject(const QUuid &clsid, const QUuid &iid, void **object) {
    const QString clsidKey = QStringLiteral("CLSID\\") + clsidString(clsid);
    const std::optional<QString> server =
        readClassesDefault(clsidKey + QStringLiteral("\\InprocServer32"));
    if (!server || unquote(*server).isEmpty())
        return REGDB_E_CLASSNOTREG;
    ZvDllGetClassObjectFn getClassObject = nullptr;
    const HRESULT hr = loadClassObjectExport(unquote(*server), &getClassObject);
    if (failed(hr))
        return hr;
    return getClassObject(&clsid, &iid, object);
}

thread_local std::optional<ZvErrorInfo> t_errorInfo;

} // namespace

QString clsidString(const QUuid &clsid) {
    return clsid.toString(QUuid::WithBraces).toUpper();
}

HRESULT CLSIDFromString(const QString &text, QUuid *clsid) {
    if (!clsid)
        return E_POINTER;
    static const QRegularExpression shape(QStringLiteral(
        "^\\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\\}$"));
    if (!shape.match(text).hasMatch())
        return CO_E_CLASSSTRING;
    *clsid = QUuid::fromString(text);
    return S_OK;
}

HRESULT CLSIDFromProgID(const QString &progId, QUuid *clsid) {
    if (!clsid)
        return E_POINTER;
    if (progId.isEmpty() || progId.contains(QLatin1Char('\\')))
        return CO_E_CLASSSTRING;
    const std::optional<QString> text = readClassesDefault(progId + QStringLiteral("\\CLSID"));
    if (!text)
        return CO_E_CLASSSTRING;
    return CLSIDFromString(text->trimmed(), clsid);
}

HRESULT CoGetClassObject(const QUuid &clsid, quint32 context, const QUuid &iid, void **object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (context & CLSCTX_LOCAL_SERVER) {
        const HRESULT hr = registeredClassObject(clsid, iid, object);
        if (hr != REGDB_E_CLASSNOTREG)
            return hr;
    }
    if (context & CLSCTX_INPROC_SERVER)
        return inprocClassObject(clsid, iid, object);
    return REGDB_E_CLASSNOTREG;
}

HRESULT CoCreateInstance(const QUuid &clsid, IUnknown *outer, quint32 context, const QUuid &iid,
                         void **object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    ZvComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, context, IID_IClassFactory, factory.putVoid());
    if (failed(hr))
        return hr;
    if (!factory)
        return CO_E_ERRORINDLL;
    hr = factory->CreateInstance(outer, iid, object);
    if (failed(hr))
        *object = nullptr;
    return hr;
}

HRESULT OleRun(IUnknown *object) {
    if (!object)
        return E_POINTER;
    ZvComPtr<IRunnableObject> runnable;
    if (failed(object->QueryInterface(IID_IRunnableObject, runnable.putVoid())) || !runnable)
        return S_OK;
    return runnable->Run();
}

HRESULT CoRegisterClassObject(const QUuid &clsid, IClassFactory *factory, quint32 context,
                              quint32 flags, quint32 *cookie) {
    if (!factory || !cookie)
        return E_POINTER;
    ClassTable &table = classTable();
    std::lock_guard guard(table.lock);
    factory->AddRef();
    *cookie = table.nextCookie++;
    table.classes[*cookie] = {clsid, factory, context, (flags & REGCLS_SUSPENDED) != 0};
    return S_OK;
}

HRESULT CoResumeClassObjects() {
    ClassTable &table = classTable();
    std::lock_guard guard(table.lock);
    for (auto &[cookie, entry] : table.classes)
        entry.suspended = false;
    return S_OK;
}

HRESULT CoRevokeClassObject(quint32 cookie) {
    IClassFactory *factory = nullptr;
    {
        ClassTable &table = classTable();
        std::lock_guard guard(table.lock);
        auto it = table.classes.find(cookie);
        if (it == table.classes.end())
            return CO_E_OBJNOTREG;
        factory = it->second.factory;
        table.classes.erase(it);
    }
    // Released outside the table lock: the last release may run arbitrary destructors.
    factory->Release();
    return S_OK;
}

void SetErrorInfo(std::optional<ZvErrorInfo> info) {
    t_errorInfo = std::move(info);
}

std::optional<ZvErrorInfo> GetErrorInfo() {
    return std::exchange(t_errorInfo, std::nullopt);
}

std::optional<QString> comErrorMessage(HRESULT hr) {
    switch (quint32(hr)) {
    case 0x00000000:
        return QStringLiteral("The operation completed successfully.");
    case 0x80004001:
        return QStringLiteral("Not implemented");
    case 0x80004002:
        return QStringLiteral("No such interface supported");
    case 0x80004003:
        return QStringLiteral("Invalid pointer");
    case 0x80004004:
        return QStringLiteral("Operation aborted");
    case 0x80004005:
        return QStringLiteral("Unspecified error");
    case 0x8000FFFF:
        return QStringLiteral("Catastrophic failure");
    case 0x80070005:
        return QStringLiteral("Access is denied.");
    case 0x8007000E:
        return QStringLiteral("Not enough memory resources are available to complete this "
                              "operation.");
    case 0x80070057:
        return QStringLiteral("The parameter is incorrect.");
    case 0x8007007E:
        return QStringLiteral("The specified module could not be found.");
    case 0x80040110:
        return QStringLiteral("Class does not support aggregation (or class object is remote)");
    case 0x80040111:
        return QStringLiteral("ClassFactory cannot supply requested class");
    case 0x80040150:
        return QStringLiteral("Could not read key from registry");
    case 0x80040154:
        return QStringLiteral("Class not registered");
    case 0x800401F3:
        return QStringLiteral("Invalid class string");
    case 0x800401F8:
        return QStringLiteral("DLL for class not found");
    case 0x800401F9:
        return QStringLiteral("Error in the DLL");
    case 0x800401FB:
        return QStringLiteral("Object is not registered");
    default:
        return std::nullopt;
    }
}

} // namespace zv
