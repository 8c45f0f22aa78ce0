// SPDX-License-Identifier: MIT
// A notification-area icon with a balloon, as the question manager (the charge balloon) and
// the balloon dialog use it. The shell supplies the desktop's own; the manager makes one
// through its BalloonFactory.
#pragma once

#include <QString>

#include <functional>

// Icon kinds of a balloon.
enum TBalloonIconKind : int {
    biNone = 0,
    biInformation = 1,
    biWarning = 2,
    biError = 3,
    // The notifier's own icon.
    biUser = 4,
};

class TBalloonNotifier {
public:
    using TBalloonEvent = std::function<void(TBalloonNotifier &)>;

    virtual ~TBalloonNotifier() = default;

    // 1 asks for the newer notification-area behaviour, 0 for the original one.
    virtual void SetVersion(int version) = 0;
    // Puts the icon into the notification area, or takes it out.
    virtual void Show() = 0;
    virtual void Hide() = 0;
    // Replaces any balloon shown. Text and title are cut to what a balloon holds; seconds is
    // the display time.
    virtual void ShowBalloon(const QString &title, const QString &text, quint8 seconds,
                             int iconKind) = 0;
    virtual void HideBalloon() = 0;

    // One of them is raised when a balloon ends: a click on it or on the icon, or its time
    // running out. The balloon and icon are gone by then; the handler may free the notifier.
    TBalloonEvent OnClick;
    TBalloonEvent OnBalloonTimeout;
};
