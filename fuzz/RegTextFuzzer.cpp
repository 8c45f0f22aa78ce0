// SPDX-License-Identifier: MIT
// Registry hive files: a text that parses is written out, and the written text parses to the
// same hive (keys, value names, types and data) and is written the same way again.
//
// Input: the file's bytes (UTF-8, or UTF-16LE with a byte-order mark as regedit saves).
#include "FuzzSupport.h"

#include "RegFile.h"

namespace {

bool SameKey(const zv::RegHiveKey &a, const zv::RegHiveKey &b) {
    if (a.name != b.name || a.values.size() != b.values.size() ||
        a.subKeys.size() != b.subKeys.size())
        return false;
    for (qsizetype i = 0; i < a.values.size(); ++i)
        if (a.values[i].name != b.values[i].name || !(a.values[i].value == b.values[i].value))
            return false;
    for (std::size_t i = 0; i < a.subKeys.size(); ++i)
        if (!SameKey(a.subKeys[i], b.subKeys[i]))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString text = zv::decodeRegBytes(fuzz::Bytes(data, size));
    const QString root = QStringLiteral("HKEY_CURRENT_USER");
    zv::RegHiveKey hive;
    try {
        hive = zv::parseRegText(text, root, QStringLiteral("fuzz.reg"));
    } catch (const zv::RegParseError &e) {
        fuzz::Check(e.line() >= 0, "parse error without a line");
        return 0;
    }
    const QString written = zv::writeRegText(hive);
    zv::RegHiveKey again;
    try {
        again = zv::parseRegText(written, root, QStringLiteral("written.reg"));
    } catch (const zv::RegParseError &e) {
        fuzz::Fail("written hive does not parse", e.message().toUtf8());
    }
    fuzz::Check(SameKey(hive, again), "hive differs after a write and a read",
                written.toUtf8().left(200));
    fuzz::Check(zv::writeRegText(again) == written, "written text differs the second time");
    return 0;
}
