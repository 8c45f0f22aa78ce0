// SPDX-License-Identifier: MIT
// A settings task for tests and the demo: a task that also answers settings requests.
#include "OrvantisInterfaces.h"
#include "SamplePluginSupport.h"

#include <mutex>

using namespace orvantis;

namespace {

class SampleSettingsTask final : public IOrvantisTask,
                                 public ISettings,
                                 private zvsample::RefCounted {
public:
    explicit SampleSettingsTask(const QUuid &clsid)
        : m_behaviour(zvsample::readBehaviour(clsid, ProgID_SettingsTask)),
          m_cacheLocation(m_behaviour.cacheLocation) {
        zvsample::record(m_behaviour.progId, QStringLiteral("Created"));
    }
    ~SampleSettingsTask() override {
        zvsample::record(m_behaviour.progId, QStringLiteral("Destroyed"));
    }

    zv::HRESULT QueryInterface(const QUuid &iid, void **object) override {
        if (!object)
            return zv::E_POINTER;
        *object = nullptr;
        if (iid == zv::IID_IUnknown || iid == IID_IOrvantisTask)
            *object = static_cast<IOrvantisTask *>(this);
        else if (iid == IID_ISettings)
            *object = static_cast<ISettings *>(this);
        else
            return zv::E_NOINTERFACE;
        addRef();
        return zv::S_OK;
    }
    quint32 AddRef() override { return addRef(); }
    quint32 Release() override { return release(); }

    zv::HRESULT get_ProgID(QString *progId) override {
        if (!progId)
            return zv::E_POINTER;
        *progId = m_behaviour.progId;
        return zv::S_OK;
    }
    zv::HRESULT get_IsRunning(bool *isRunning) override {
        if (!isRunning)
            return zv::E_POINTER;
        *isRunning = m_running.load();
        return zv::S_OK;
    }
    zv::HRESULT Start() override {
        zvsample::record(m_behaviour.progId, QStringLiteral("Start"));
        m_running = true;
        return zv::S_OK;
    }
    zv::HRESULT Stop() override {
        zvsample::record(m_behaviour.progId, QStringLiteral("Stop"));
        m_running = false;
        return zv::S_OK;
    }

    zv::HRESULT get_CacheLocation(QString *cacheLocation) override {
        if (!cacheLocation)
            return zv::E_POINTER;
        std::lock_guard guard(m_lock);
        *cacheLocation = m_cacheLocation;
        return zv::S_OK;
    }
    zv::HRESULT put_CacheLocation(const QString &cacheLocation) override {
        std::lock_guard guard(m_lock);
        m_cacheLocation = cacheLocation;
        return zv::S_OK;
    }
    zv::HRESULT ReadSettingsForCustomer(const QString &customerCode, quint32 settingId,
                                        QString *settings) override {
        if (!settings)
            return zv::E_POINTER;
        *settings = customerCode + QStringLiteral(":setting %1").arg(settingId);
        return zv::S_OK;
    }
    zv::HRESULT ReadSettings(quint32 settingId, QString *settings) override {
        if (!settings)
            return zv::E_POINTER;
        *settings = QStringLiteral("setting %1").arg(settingId);
        return zv::S_OK;
    }

private:
    zvsample::Behaviour m_behaviour;
    std::atomic<bool> m_running{false};
    std::mutex m_lock;
    QString m_cacheLocation;
};

zv::IUnknown *makeSettingsTask(const QUuid &clsid) {
    return static_cast<IOrvantisTask *>(new SampleSettingsTask(clsid));
}

} // namespace

extern "C" __attribute__((visibility("default"))) zv::HRESULT
DllGetClassObject(const QUuid *clsid, const QUuid *iid, void **object) {
    if (!clsid || !iid)
        return zv::E_POINTER;
    return zvsample::makeFactory(*clsid, *iid, object, makeSettingsTask);
}
