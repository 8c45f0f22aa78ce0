// SPDX-License-Identifier: MIT
#include "ZvScopeTrace.h"

#include "ZvComError.h"
#include "ZvLogManager.h"

ZvScopeTrace::ZvScopeTrace(QString function, int level, quint32 category)
    : m_function(std::move(function)), m_level(level), m_category(category) {
    ZvLogDebug(m_category, m_level, QStringLiteral("-> %s"), {m_function});
}

ZvScopeTrace::~ZvScopeTrace() {
    ZvLogDebug(m_category, m_level, QStringLiteral("<- %s"), {m_function});
}

zv::HRESULT ZvScopeTrace::reportComError(const ZvComError &error) const {
    ZvLogError(QStringLiteral("[%s] COM exception: %s"), {m_function, error.message()});
    zv::SetErrorInfo(error.errorInfo());
    return error.code();
}

void ZvScopeTrace::reportException(const QString &text) const {
    const QString message = text.isEmpty() ? QStringLiteral("A general exception occurred.") : text;
    ZvLogError(QStringLiteral("[%s] Exception: %s"), {m_function, message});
    zv::SetErrorInfo(zv::ZvErrorInfo{message, m_function});
}
