// SPDX-License-Identifier: MIT
// A hosted task for tests and the demo. Any class id registered with this library is a task;
// its ProgID and behaviour come from its .ini file (SamplePluginSupport.h). The component
// functions it calls back with are the host's own (resolved from the host executable).
#include "OrvantisInterfaces.h"
#include "SamplePluginSupport.h"
#include "ZvComRuntime.h"

#include <chrono>
#include <future>
#include <thread>

using namespace orvantis;

namespace {

class SampleTask final : public IOrvantisTask, private zvsample::RefCounted {
public:
    explicit SampleTask(const QUuid &clsid)
        : m_behaviour(zvsample::readBehaviour(clsid, zvsample::clsidText(clsid))) {
        zvsample::record(m_behaviour.progId, QStringLiteral("Created"));
    }
    ~SampleTask() override { zvsample::record(m_behaviour.progId, QStringLiteral("Destroyed")); }

    zv::HRESULT QueryInterface(const QUuid &iid, void **object) override {
        if (!object)
            return zv::E_POINTER;
        *object = nullptr;
        if (iid == zv::IID_IUnknown || (iid == IID_IOrvantisTask && !m_behaviour.noTaskInterface)) {
            *object = static_cast<IOrvantisTask *>(this);
            addRef();
            return zv::S_OK;
        }
        return zv::E_NOINTERFACE;
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
        zvsample::record(m_behaviour.progId, QStringLiteral("IsRunning"));
        if (zv::failed(m_behaviour.isRunningResult))
            return fail(m_behaviour.isRunningResult);
        *isRunning = m_running.load();
        return zv::S_OK;
    }
    zv::HRESULT Start() override {
        zvsample::record(m_behaviour.progId, QStringLiteral("Start"));
        if (m_behaviour.callbackOnStart)
            callBackIntoController();
        if (m_behaviour.startDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_behaviour.startDelayMs));
        if (zv::failed(m_behaviour.startResult))
            return fail(m_behaviour.startResult);
        m_running = true;
        return zv::S_OK;
    }
    zv::HRESULT Stop() override {
        zvsample::record(m_behaviour.progId, QStringLiteral("Stop"));
        if (m_behaviour.stopDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_behaviour.stopDelayMs));
        if (zv::failed(m_behaviour.stopResult))
            return fail(m_behaviour.stopResult);
        m_running = false;
        return zv::S_OK;
    }

private:
    zv::HRESULT fail(zv::HRESULT hr) {
        if (!m_behaviour.errorText.isEmpty())
            zv::SetErrorInfo(zv::ZvErrorInfo{m_behaviour.errorText, m_behaviour.progId});
        return hr;
    }

    // Asks the controller, from a thread of our own, for this very task while Start waits.
    // A controller that kept its lock during Start would block that thread for good.
    void callBackIntoController() {
        const QString progId = m_behaviour.progId;
        auto outcome = std::make_shared<std::promise<QString>>();
        std::future<QString> result = outcome->get_future();
        std::thread([progId, outcome] {
            QUuid clsid;
            zv::HRESULT hr = zv::CLSIDFromProgID(ProgID_OrvantisController, &clsid);
            zv::ZvComPtr<IOrvantisController> controller;
            if (zv::succeeded(hr))
                hr = zv::CoCreateInstance(clsid, nullptr, zv::CLSCTX_ALL, IID_IOrvantisController,
                                          controller.putVoid());
            zv::ZvComPtr<IOrvantisTask> self;
            if (zv::succeeded(hr))
                hr = controller->GetHostedTask(progId, self.put());
            QString text =
                QStringLiteral("Callback 0x%1").arg(quint32(hr), 8, 16, QLatin1Char('0'));
            if (zv::succeeded(hr))
                text += self ? QStringLiteral(" found") : QStringLiteral(" empty");
            outcome->set_value(text);
        }).detach();
        if (result.wait_for(std::chrono::seconds(10)) == std::future_status::ready)
            zvsample::record(progId, result.get());
        else
            zvsample::record(progId, QStringLiteral("Callback blocked"));
    }

    zvsample::Behaviour m_behaviour;
    std::atomic<bool> m_running{false};
};

zv::IUnknown *makeTask(const QUuid &clsid) {
    return static_cast<IOrvantisTask *>(new SampleTask(clsid));
}

} // namespace

extern "C" __attribute__((visibility("default"))) zv::HRESULT
DllGetClassObject(const QUuid *clsid, const QUuid *iid, void **object) {
    if (!clsid || !iid)
        return zv::E_POINTER;
    return zvsample::makeFactory(*clsid, *iid, object, makeTask);
}
