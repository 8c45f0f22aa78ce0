// SPDX-License-Identifier: MIT
// The language file: its comma texts and the look-up of a key in every language. Entries
// written the way the file quotes them (each in double quotes, a quote doubled) split back into
// the same entries.
//
// Input: the language file's text (UTF-8); the look-up keys are taken from its own lines.
#include "FuzzSupport.h"

#include "SimpleTranslator.h"

#include <array>

namespace {

QString Quoted(const QStringList &entries) {
    QStringList quoted;
    for (QString entry : entries)
        quoted << u'"' + entry.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return quoted.join(u',');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString text = QString::fromUtf8(fuzz::Bytes(data, size));

    const QStringList entries = SplitCommaText(text);
    for (const QString &entry : entries)
        fuzz::Check(!entry.contains(QChar(0)), "entry beyond the text's end");
    fuzz::Check(entries.isEmpty() || SplitCommaText(Quoted(entries)) == entries,
                "quoted entries do not split back", Quoted(entries).toUtf8().left(64));

    // One language per input, chosen by its length, and the keys of its first lines.
    const QStringList lines = text.split(u'\n');
    const std::array<int, 7> languages = {zv::LANG_ENGLISH, zv::LANG_GERMAN,  zv::LANG_FRENCH,
                                          zv::LANG_ITALIAN, zv::LANG_SPANISH, zv::LANG_ARABIC,
                                          zv::LANG_NEUTRAL};
    const TSimpleTranslator translator(lines, languages[size % languages.size()]);
    for (const QString &line : lines.mid(0, 4)) {
        const QString translated =
            translator.Translate(line.section(u'=', 0, 0), QStringLiteral("default"));
        fuzz::Check(!translated.isNull(), "translation is a null text");
    }
    fuzz::Check(translator.Translate(QStringLiteral("\x01missing"), QStringLiteral("x")) ==
                    QStringLiteral("x"),
                "missing key without its default");
    return 0;
}
