// SPDX-License-Identifier: MIT
// The component model shared by the task host and its in-process plug-ins: result codes,
// interface identifiers and the reference-counted base interfaces. Plug-ins compile against
// this header only; the functions that create objects live in the host (ZvComRuntime.h).
#pragma once

#include <QUuid>
#include <QtGlobal>

#include <utility>

namespace zv {

using HRESULT = qint32;

constexpr HRESULT hresult(quint32 bits) {
    return HRESULT(bits);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = hresult(0x80004001);
constexpr HRESULT E_NOINTERFACE = hresult(0x80004002);
constexpr HRESULT E_POINTER = hresult(0x80004003);
constexpr HRESULT E_ABORT = hresult(0x80004004);
constexpr HRESULT E_FAIL = hresult(0x80004005);
constexpr HRESULT E_UNEXPECTED = hresult(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = hresult(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = hresult(0x8007000E);
constexpr HRESULT E_INVALIDARG = hresult(0x80070057);
constexpr HRESULT CLASS_E_NOAGGREGATION = hresult(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hresult(0x80040111);
constexpr HRESULT REGDB_E_READREGDB = hresult(0x80040150);
constexpr HRESULT REGDB_E_CLASSNOTREG = hresult(0x80040154);
constexpr HRESULT CO_E_CLASSSTRING = hresult(0x800401F3);
constexpr HRESULT CO_E_DLLNOTFOUND = hresult(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = hresult(0x800401F9);
constexpr HRESULT CO_E_OBJNOTREG = hresult(0x800401FB);
// HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND): the library named by InprocServer32 is missing.
constexpr HRESULT E_MOD_NOT_FOUND = hresult(0x8007007E);

constexpr bool succeeded(HRESULT hr) {
    return hr >= 0;
}
constexpr bool failed(HRESULT hr) {
    return hr < 0;
}

// Server contexts of CoCreateInstance; this layer serves in-process classes and class
// objects registered by the running process.
enum : quint32 {
    CLSCTX_INPROC_SERVER = 0x1,
    CLSCTX_INPROC_HANDLER = 0x2,
    CLSCTX_LOCAL_SERVER = 0x4,
    CLSCTX_REMOTE_SERVER = 0x10,
    CLSCTX_ALL =
        CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
};

inline const QUuid IID_IUnknown{QStringLiteral("{00000000-0000-0000-C000-000000000046}")};
inline const QUuid IID_IClassFactory{QStringLiteral("{00000001-0000-0000-C000-000000000046}")};
inline const QUuid IID_IRunnableObject{QStringLiteral("{00000126-0000-0000-C000-000000000046}")};

class IUnknown {
public:
    virtual HRESULT QueryInterface(const QUuid &iid, void **object) = 0;
    virtual quint32 AddRef() = 0;
    virtual quint32 Release() = 0;

protected:
    ~IUnknown() = default;
};

class IClassFactory : public IUnknown {
public:
    virtual HRESULT CreateInstance(IUnknown *outer, const QUuid &iid, void **object) = 0;
    virtual HRESULT LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

// Objects that need an explicit step into the running state implement this; OleRun calls it.
class IRunnableObject : public IUnknown {
public:
    virtual HRESULT Run() = 0;

protected:
    ~IRunnableObject() = default;
};

// Owns one reference to an interface pointer.
template <class T> class ZvComPtr {
public:
    ZvComPtr() = default;
    ZvComPtr(const ZvComPtr &other) : m_p(other.m_p) {
        if (m_p)
            m_p->AddRef();
    }
    ZvComPtr(ZvComPtr &&other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
    ~ZvComPtr() { reset(); }
    ZvComPtr &operator=(ZvComPtr other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }

    // Takes over a reference the caller already owns.
    static ZvComPtr adopt(T *p) {
        ZvComPtr r;
        r.m_p = p;
        return r;
    }
    // Adds a reference of its own.
    static ZvComPtr share(T *p) {
        if (p)
            p->AddRef();
        return adopt(p);
    }

    void reset() {
        if (T *p = std::exchange(m_p, nullptr))
            p->Release();
    }
    T *get() const { return m_p; }
    T *operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For out-parameters: releases the current pointer first.
    T **put() {
        reset();
        return &m_p;
    }
    void **putVoid() { return reinterpret_cast<void **>(put()); }
    // Hands the reference to the caller.
    T *detach() { return std::exchange(m_p, nullptr); }

private:
    T *m_p = nullptr;
};

} // namespace zv

// What an in-process plug-in exports (C linkage, looked up by name).
extern "C" {
using ZvDllGetClassObjectFn = zv::HRESULT (*)(const QUuid *clsid, const QUuid *iid, void **object);
}
