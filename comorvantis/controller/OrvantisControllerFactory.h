// SPDX-License-Identifier: MIT
// The controller's class object: the first request builds the one controller of the process,
// every later request is answered by that same object.
#pragma once

#include "OrvantisControllerImpl.h"

#include <mutex>

class COrvantisControllerFactory final : public zv::IClassFactory {
public:
    // Starts with one reference, owned by the creator.
    explicit COrvantisControllerFactory(QString configurationPath,
                                        COrvantisControllerImpl::ServerLock serverLock = {});
    COrvantisControllerFactory(const COrvantisControllerFactory &) = delete;
    COrvantisControllerFactory &operator=(const COrvantisControllerFactory &) = delete;

    zv::HRESULT QueryInterface(const QUuid &iid, void **object) override;
    quint32 AddRef() override;
    quint32 Release() override;
    zv::HRESULT CreateInstance(zv::IUnknown *outer, const QUuid &iid, void **object) override;
    zv::HRESULT LockServer(bool lock) override;

private:
    ~COrvantisControllerFactory();

    const QString m_configurationPath;
    const COrvantisControllerImpl::ServerLock m_serverLock;
    std::atomic<quint32> m_refCount{1};
    std::mutex m_lock;
    bool m_created = false;
    zv::HRESULT m_createResult = zv::S_OK;
    COrvantisControllerImpl *m_controller = nullptr;
};
