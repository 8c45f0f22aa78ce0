// SPDX-License-Identifier: MIT
#include "TrayIconHandler.h"

#include "Log.h"

#include <QSystemTrayIcon>

namespace {

std::weak_ptr<TTrayIconHandler> &sharedHandler() {
    static std::weak_ptr<TTrayIconHandler> handler;
    return handler;
}

} // namespace

std::shared_ptr<TTrayIconHandler> TTrayIconHandler::Acquire() {
    if (std::shared_ptr<TTrayIconHandler> handler = sharedHandler().lock())
        return handler;
    std::shared_ptr<TTrayIconHandler> handler(new TTrayIconHandler);
    sharedHandler() = handler;
    return handler;
}

bool TTrayIconHandler::Exists() {
    return !sharedHandler().expired();
}

TTrayIconHandler::~TTrayIconHandler() = default;

void TTrayIconHandler::Add(const void *owner, const QIcon &icon, const QString &tooltip,
                           std::function<void()> onActivated) {
    if (m_icons.count(owner)) {
        Modify(owner, icon, tooltip);
        return;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        static bool logged = false;
        if (!logged)
            LogInfo("TTrayIconHandler: the desktop has no notification area; no icon is shown");
        logged = true;
        return;
    }
    auto trayIcon = std::make_unique<QSystemTrayIcon>(icon);
    trayIcon->setToolTip(tooltip);
    QObject::connect(trayIcon.get(), &QSystemTrayIcon::activated,
                     [onActivated = std::move(onActivated)](QSystemTrayIcon::ActivationReason) {
                         if (onActivated)
                             onActivated();
                     });
    trayIcon->show();
    m_icons.emplace(owner, std::move(trayIcon));
}

void TTrayIconHandler::Modify(const void *owner, const QIcon &icon, const QString &tooltip) {
    const auto found = m_icons.find(owner);
    if (found == m_icons.end())
        return;
    found->second->setIcon(icon);
    found->second->setToolTip(tooltip);
}

void TTrayIconHandler::Remove(const void *owner) {
    const auto found = m_icons.find(owner);
    if (found == m_icons.end())
        return;
    // Activation may be what removes it: let the icon finish its signal first.
    found->second->hide();
    found->second.release()->deleteLater();
    m_icons.erase(found);
}

bool TTrayIconHandler::Shown(const void *owner) const {
    return m_icons.count(owner) != 0;
}
