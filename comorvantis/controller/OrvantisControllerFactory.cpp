// SPDX-License-Identifier: MIT
#include "OrvantisControllerFactory.h"

COrvantisControllerFactory::COrvantisControllerFactory(
    QString configurationPath, COrvantisControllerImpl::ServerLock serverLock)
    : m_configurationPath(std::move(configurationPath)), m_serverLock(std::move(serverLock)) {}

COrvantisControllerFactory::~COrvantisControllerFactory() {
    if (m_controller)
        m_controller->Release();
}

zv::HRESULT COrvantisControllerFactory::QueryInterface(const QUuid &iid, void **object) {
    if (!object)
        return zv::E_POINTER;
    if (iid == zv::IID_IUnknown || iid == zv::IID_IClassFactory) {
        *object = static_cast<zv::IClassFactory *>(this);
        AddRef();
        return zv::S_OK;
    }
    *object = nullptr;
    return zv::E_NOINTERFACE;
}

quint32 COrvantisControllerFactory::AddRef() {
    return ++m_refCount;
}

quint32 COrvantisControllerFactory::Release() {
    const quint32 count = --m_refCount;
    if (count == 0)
        delete this;
    return count;
}

zv::HRESULT COrvantisControllerFactory::CreateInstance(zv::IUnknown *outer, const QUuid &iid,
                                                       void **object) {
    if (!object)
        return zv::E_POINTER;
    *object = nullptr;
    if (outer)
        return zv::CLASS_E_NOAGGREGATION;
    std::lock_guard guard(m_lock);
    if (!m_created) {
        m_created = true;
        try {
            auto *controller = new COrvantisControllerImpl(m_configurationPath, m_serverLock);
            m_controller = controller;
            controller->FinalConstruct();
        } catch (const std::bad_alloc &) {
            m_createResult = zv::E_OUTOFMEMORY;
        } catch (...) {
            m_createResult = zv::E_FAIL;
        }
        if (zv::failed(m_createResult) && m_controller) {
            m_controller->Release();
            m_controller = nullptr;
        }
    }
    if (zv::failed(m_createResult))
        return m_createResult;
    return m_controller->QueryInterface(iid, object);
}

zv::HRESULT COrvantisControllerFactory::LockServer(bool lock) {
    if (m_serverLock)
        m_serverLock(lock);
    return zv::S_OK;
}
