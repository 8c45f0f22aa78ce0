// SPDX-License-Identifier: MIT
// A notification server for tests and the demo: keeps the ids it was advised of and records
// every notification.
#include "OrvantisInterfaces.h"
#include "SamplePluginSupport.h"

#include <mutex>

using namespace orvantis;

namespace {

class SampleNotifications final : public IServerNotifications, private zvsample::RefCounted {
public:
    explicit SampleNotifications(const QUuid &clsid)
        : m_behaviour(zvsample::readBehaviour(clsid, ProgID_ServerNotifications)) {
        zvsample::record(m_behaviour.progId, QStringLiteral("Created"));
    }
    ~SampleNotifications() override {
        zvsample::record(m_behaviour.progId, QStringLiteral("Destroyed"));
    }

    zv::HRESULT QueryInterface(const QUuid &iid, void **object) override {
        if (!object)
            return zv::E_POINTER;
        *object = nullptr;
        if (iid == zv::IID_IUnknown ||
            (iid == IID_IServerNotifications && !m_behaviour.noTaskInterface)) {
            *object = static_cast<IServerNotifications *>(this);
            addRef();
            return zv::S_OK;
        }
        return zv::E_NOINTERFACE;
    }
    quint32 AddRef() override { return addRef(); }
    quint32 Release() override { return release(); }

    zv::HRESULT Advise(qint32 notifyId) override {
        std::lock_guard guard(m_lock);
        if (!m_ids.contains(notifyId))
            m_ids.append(notifyId);
        zvsample::record(m_behaviour.progId, QStringLiteral("Advise %1").arg(notifyId));
        return zv::S_OK;
    }
    zv::HRESULT Unadvise() override {
        std::lock_guard guard(m_lock);
        m_ids.clear();
        zvsample::record(m_behaviour.progId, QStringLiteral("Unadvise"));
        return zv::S_OK;
    }
    zv::HRESULT NotifyInstances(qint32 notifyId) override {
        zvsample::record(m_behaviour.progId, QStringLiteral("NotifyInstances %1").arg(notifyId));
        return zv::S_OK;
    }
    zv::HRESULT get_NotifyIds(QList<qint32> *notifyIds) override {
        if (!notifyIds)
            return zv::E_POINTER;
        std::lock_guard guard(m_lock);
        *notifyIds = m_ids;
        return zv::S_OK;
    }

private:
    zvsample::Behaviour m_behaviour;
    std::mutex m_lock;
    QList<qint32> m_ids;
};

zv::IUnknown *makeServer(const QUuid &clsid) {
    return static_cast<IServerNotifications *>(new SampleNotifications(clsid));
}

} // namespace

extern "C" __attribute__((visibility("default"))) zv::HRESULT
DllGetClassObject(const QUuid *clsid, const QUuid *iid, void **object) {
    if (!clsid || !iid)
        return zv::E_POINTER;
    return zvsample::makeFactory(*clsid, *iid, object, makeServer);
}
