// SPDX-License-Identifier: MIT
// Whether dialogs read right to left: only when the user's language and the system's default
// language are the same right-to-left language.
#pragma once

#include <QLocale>
#include <optional>

// True when both locales are written right to left and name the same language. The C
// locale counts as not right to left.
bool IsRightToLeftLocale(const QLocale &userLocale, const QLocale &systemLocale);
// The user's locale against the system default locale.
bool IsRightToLeftLocale();

// The system default locale: LANG of /etc/locale.conf, else of /etc/default/locale; nothing
// when neither names one.
std::optional<QLocale> SystemDefaultLocale();
// LANG=... of a locale configuration file's text ("ar_EG.UTF-8" gives ar_EG).
std::optional<QLocale> LocaleFromConfigText(const QByteArray &text);
