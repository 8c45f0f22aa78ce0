// SPDX-License-Identifier: MIT
// The bridge to an optional document-management plug-in: a shared library named in the
// configuration the popup server sends, which returns cost-center codes and values for the
// document being printed. The library is loaded and unloaded within one look-up.
#pragma once

#include "ZvError.h"

#include <QByteArray>
#include <QStringList>

// Exported by the plug-in as "GetDocumentInfo" with C linkage. Returns non-zero (low byte) on
// success; on failure it sets errno. The arrays belong to the library and are read before it
// is unloaded.
extern "C" {
typedef int (*TGetDocumentInfo)(const char *config, const char *documentName, qint32 *count,
                                char ***codes, char ***values);
}

class EDmsError : public zv::ZvError {
public:
    using zv::ZvError::ZvError;
};

class TDMS {
public:
    // config: INI text; the library is the value "DLL Name" of section "DLL".
    explicit TDMS(const QByteArray &config);

    QByteArray Config;
    QByteArray DmsDllName;
    int Count = 0;
    QByteArrayList Codes;
    QByteArrayList Values;

    void GetDocumentInfo(const QString &documentName);
};

// The value of key in section of INI text (both compared without regard to case, blanks
// around them ignored); an empty text when absent. Lines of other shapes are passed over.
QByteArray IniValue(const QByteArray &text, const QByteArray &section, const QByteArray &key);
