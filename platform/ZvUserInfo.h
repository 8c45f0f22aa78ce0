// SPDX-License-Identifier: MIT
// Who runs this process: login and account names, the name forms the guest-account match
// compares against, and the terminal session number.
#pragma once

#include <QString>

#include <optional>

namespace zv {

// The numbered name forms callers ask for (the extended user-name formats).
enum UserNameFormat : int {
    NameUnknown = 0,
    NameFullyQualifiedDN = 1,
    NameSamCompatible = 2, // HOST\user
    NameDisplay = 3,       // full name from the account's GECOS field
    NameUniqueId = 6,
    NameCanonical = 7,
    NameUserPrincipal = 8, // user@host
    NameCanonicalEx = 9,
    NameServicePrincipal = 10,
    NameDnsDomain = 12,
};

// Login name of the effective user; empty when the account has no entry.
QString loginName();
// The host name as the system reports it.
QString hostName();
// The name in the given form; nullopt for forms that need a directory service, and for a
// display name when the account has none.
std::optional<QString> userNameEx(int format);
// The full name: the first comma-separated field of a GECOS text, trimmed.
QString gecosFullName(const QByteArray &gecos);
// Account name of the effective user. Throws ZvError "getpwuid_r:<errno>" when the account
// cannot be looked up.
QString tokenAccountName();
// The terminal session number: XDG_SESSION_ID when it is a plain number, otherwise 0.
int terminalSessionId();

} // namespace zv
