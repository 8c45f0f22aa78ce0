// SPDX-License-Identifier: MIT
// The process's notification-area icons: one per balloon notifier, kept by one handler that
// every notifier shares and holds a reference to. The handler lives while any notifier holds
// it. A desktop without a notification area shows no icon; that is not an error. Activating
// an icon (any button, or a double click) is its owner's click.
#pragma once

#include <QIcon>
#include <QString>

#include <functional>
#include <map>
#include <memory>

class QSystemTrayIcon;

class TTrayIconHandler {
public:
    // The shared handler, made on first use.
    static std::shared_ptr<TTrayIconHandler> Acquire();
    // Whether a notifier holds the handler now.
    static bool Exists();

    ~TTrayIconHandler();
    TTrayIconHandler(const TTrayIconHandler &) = delete;
    TTrayIconHandler &operator=(const TTrayIconHandler &) = delete;

    // Adds owner's icon, or updates it when there is one already.
    void Add(const void *owner, const QIcon &icon, const QString &tooltip,
             std::function<void()> onActivated);
    void Modify(const void *owner, const QIcon &icon, const QString &tooltip);
    void Remove(const void *owner);
    // Whether owner's icon is in the notification area (never on a desktop without one).
    bool Shown(const void *owner) const;

private:
    TTrayIconHandler() = default;

    std::map<const void *, std::unique_ptr<QSystemTrayIcon>> m_icons;
};
