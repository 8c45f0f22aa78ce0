// SPDX-License-Identifier: MIT
// Shared by the sample plug-ins: per-class behaviour read from "<ZV_SAMPLE_DIR>/<CLSID>.ini"
// and a record of every call appended to "<ZV_SAMPLE_DIR>/records.log", so that tests in this
// process or another can see what the host did with them.
#pragma once

#include "ZvComTypes.h"

#include <QFile>
#include <QSettings>
#include <QString>

#include <atomic>
#include <fcntl.h>
#include <unistd.h>

namespace zvsample {

inline QString sampleDir() {
    return qEnvironmentVariable("ZV_SAMPLE_DIR");
}

inline QString clsidText(const QUuid &clsid) {
    return clsid.toString(QUuid::WithoutBraces).toUpper();
}

// Behaviour of one class; everything is optional.
struct Behaviour {
    QString progId;
    zv::HRESULT startResult = zv::S_OK;
    zv::HRESULT stopResult = zv::S_OK;
    zv::HRESULT isRunningResult = zv::S_OK;
    QString errorText;            // left as error information with a failure
    bool noTaskInterface = false; // the object exists but lacks IOrvantisTask
    bool callbackOnStart = false; // Start asks the controller for this task from another thread
    int startDelayMs = 0;
    int stopDelayMs = 0;
    QString cacheLocation;
};

inline zv::HRESULT parseResult(const QVariant &v) {
    bool ok = false;
    const quint32 bits = v.toString().toUInt(&ok, 0);
    return ok ? zv::HRESULT(bits) : zv::S_OK;
}

inline Behaviour readBehaviour(const QUuid &clsid, const QString &defaultProgId) {
    Behaviour b;
    b.progId = defaultProgId;
    const QString dir = sampleDir();
    if (dir.isEmpty())
        return b;
    const QString path = dir + QLatin1Char('/') + clsidText(clsid) + QStringLiteral(".ini");
    if (!QFile::exists(path))
        return b;
    QSettings ini(path, QSettings::IniFormat);
    b.progId = ini.value(QStringLiteral("ProgID"), defaultProgId).toString();
    b.startResult = parseResult(ini.value(QStringLiteral("StartResult")));
    b.stopResult = parseResult(ini.value(QStringLiteral("StopResult")));
    b.isRunningResult = parseResult(ini.value(QStringLiteral("IsRunningResult")));
    b.errorText = ini.value(QStringLiteral("ErrorText")).toString();
    b.noTaskInterface = ini.value(QStringLiteral("NoTaskInterface"), false).toBool();
    b.callbackOnStart = ini.value(QStringLiteral("CallbackOnStart"), false).toBool();
    b.startDelayMs = ini.value(QStringLiteral("StartDelayMs"), 0).toInt();
    b.stopDelayMs = ini.value(QStringLiteral("StopDelayMs"), 0).toInt();
    b.cacheLocation = ini.value(QStringLiteral("CacheLocation")).toString();
    return b;
}

// One line per call, written with a single append so that lines from threads and processes
// never mix.
inline void record(const QString &who, const QString &what) {
    const QString dir = sampleDir();
    if (dir.isEmpty())
        return;
    const QByteArray line = (who + QLatin1Char(' ') + what + QLatin1Char('\n')).toUtf8();
    const QByteArray path = QFile::encodeName(dir + QStringLiteral("/records.log"));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    [[maybe_unused]] const ssize_t written = ::write(fd, line.constData(), size_t(line.size()));
    ::close(fd);
}

// Reference counting shared by the sample objects.
class RefCounted {
public:
    virtual ~RefCounted() = default;
    quint32 addRef() { return ++m_count; }
    quint32 release() {
        const quint32 left = --m_count;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<quint32> m_count{1};
};

// Class object for one sample class: CreateInstance calls the given maker.
class SampleFactory final : public zv::IClassFactory, private RefCounted {
public:
    using Maker = zv::IUnknown *(*)(const QUuid &clsid);
    SampleFactory(const QUuid &clsid, Maker maker) : m_clsid(clsid), m_maker(maker) {}

    zv::HRESULT QueryInterface(const QUuid &iid, void **object) override {
        if (!object)
            return zv::E_POINTER;
        if (iid == zv::IID_IUnknown || iid == zv::IID_IClassFactory) {
            *object = static_cast<zv::IClassFactory *>(this);
            addRef();
            return zv::S_OK;
        }
        *object = nullptr;
        return zv::E_NOINTERFACE;
    }
    quint32 AddRef() override { return addRef(); }
    quint32 Release() override { return release(); }
    zv::HRESULT CreateInstance(zv::IUnknown *outer, const QUuid &iid, void **object) override {
        if (!object)
            return zv::E_POINTER;
        *object = nullptr;
        if (outer)
            return zv::CLASS_E_NOAGGREGATION;
        zv::IUnknown *instance = m_maker(m_clsid);
        const zv::HRESULT hr = instance->QueryInterface(iid, object);
        instance->Release();
        return hr;
    }
    zv::HRESULT LockServer(bool) override { return zv::S_OK; }

private:
    QUuid m_clsid;
    Maker m_maker;
};

inline zv::HRESULT makeFactory(const QUuid &clsid, const QUuid &iid, void **object,
                               SampleFactory::Maker maker) {
    if (!object)
        return zv::E_POINTER;
    auto *factory = new SampleFactory(clsid, maker);
    const zv::HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
}

} // namespace zvsample
