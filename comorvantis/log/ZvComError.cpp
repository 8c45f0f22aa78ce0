// SPDX-License-Identifier: MIT
#include "ZvComError.h"

#include "ZvLogFormat.h"
#include "ZvMisc.h"

ZvComError::ZvComError(zv::HRESULT hr, std::optional<zv::ZvErrorInfo> info)
    : zv::ZvError(errorText(hr)), m_code(hr), m_info(std::move(info)) {}

QString ZvComError::errorText(zv::HRESULT hr) {
    const QString system = ZvMisc::systemMessageText(hr);
    if (!system.isEmpty())
        return system;
    const quint32 bits = quint32(hr);
    if (bits > 0x80040200u && bits <= 0x8004FFFFu)
        return zvFormat(QStringLiteral("IDispatch error #%d"), {bits - 0x80040200u});
    return zvFormat(QStringLiteral("Unknown error 0x%0lX"), {bits});
}

void ZvCheck(zv::HRESULT hr) {
    if (zv::failed(hr))
        throw ZvComError(hr, zv::GetErrorInfo());
}
