// SPDX-License-Identifier: MIT
// Creating components: ProgIDs and class ids resolved through HKEY_CLASSES_ROOT, in-process
// plug-ins loaded from the shared library named by InprocServer32, class objects registered
// by the running process, and the per-thread error information.
#pragma once

#include "ZvComTypes.h"

#include <QString>

#include <optional>

namespace zv {

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"; anything else is CO_E_CLASSSTRING.
HRESULT CLSIDFromString(const QString &text, QUuid *clsid);
// ProgID\CLSID in the per-user classes first, then the machine's; CO_E_CLASSSTRING when
// the ProgID is not registered.
HRESULT CLSIDFromProgID(const QString &progId, QUuid *clsid);
// Upper-case with braces, as the registry keys are written.
QString clsidString(const QUuid &clsid);

// Class objects registered by this process win over plug-in libraries (when the context
// includes CLSCTX_LOCAL_SERVER); then CLSID\{...}\InprocServer32 names a shared library
// whose DllGetClassObject export supplies the class object.
HRESULT CoGetClassObject(const QUuid &clsid, quint32 context, const QUuid &iid, void **object);
HRESULT CoCreateInstance(const QUuid &clsid, IUnknown *outer, quint32 context, const QUuid &iid,
                         void **object);
// Brings an object into the running state when it asks for that (IRunnableObject).
HRESULT OleRun(IUnknown *object);

enum : quint32 { REGCLS_SINGLEUSE = 0, REGCLS_MULTIPLEUSE = 1, REGCLS_SUSPENDED = 4 };
HRESULT CoRegisterClassObject(const QUuid &clsid, IClassFactory *factory, quint32 context,
                              quint32 flags, quint32 *cookie);
HRESULT CoResumeClassObjects();
HRESULT CoRevokeClassObject(quint32 cookie);

// Error information of the calling thread, as the failing object left it for its caller.
struct ZvErrorInfo {
    QString description;
    QString source;
};
void SetErrorInfo(std::optional<ZvErrorInfo> info);
// Returns and clears the calling thread's error information.
std::optional<ZvErrorInfo> GetErrorInfo();

// The system's text for a result code of the component layer; nullopt when it has none.
std::optional<QString> comErrorMessage(HRESULT hr);

} // namespace zv
