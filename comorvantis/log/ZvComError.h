// SPDX-License-Identifier: MIT
// A failure code of the component layer carried as an exception, with the error information
// the failing object left for its caller.
#pragma once

#include "ZvComRuntime.h"
#include "ZvError.h"

#include <optional>

class ZvComError : public zv::ZvError {
public:
    explicit ZvComError(zv::HRESULT hr, std::optional<zv::ZvErrorInfo> info = std::nullopt);

    zv::HRESULT code() const { return m_code; }
    const std::optional<zv::ZvErrorInfo> &errorInfo() const { return m_info; }

    // The system message for the code, else "IDispatch error #n" or "Unknown error 0x...".
    static QString errorText(zv::HRESULT hr);

private:
    zv::HRESULT m_code;
    std::optional<zv::ZvErrorInfo> m_info;
};

// Throws a ZvComError for a failure code, taking the calling thread's error information.
void ZvCheck(zv::HRESULT hr);
