// SPDX-License-Identifier: MIT
// Saved cost-center shortcuts as the registry holds them: a value parses, its serialised form
// parses to the same levels and serialises to the same text, and the display text names every
// level.
//
// Input: the value data (UTF-8).
#include "FuzzSupport.h"

#include "ShortCutManager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString value = QString::fromUtf8(fuzz::Bytes(data, size));
    const std::unique_ptr<TShortCutDef> first = ParseShortcut("Name", value);
    fuzz::Check(!first->Modified(), "a loaded shortcut counts as modified");
    const QByteArray text = first->Serialise();

    const std::unique_ptr<TShortCutDef> second = ParseShortcut("Name", QString::fromUtf8(text));
    const qsizetype levels = std::min(first->Codes().size(), first->Descriptions().size());
    fuzz::Check(second->ID() == first->ID(), "ID differs after a round trip", text);
    fuzz::Check(second->Codes() == first->Codes().mid(0, levels), "codes differ after a round trip",
                text);
    fuzz::Check(second->Descriptions() == first->Descriptions().mid(0, levels),
                "descriptions differ after a round trip", text);
    fuzz::Check(second->Serialise() == text, "serialised text differs", text);

    const QString display = first->DisplayText();
    for (const QByteArray &code : first->Codes())
        fuzz::Check(display.contains(QString::fromUtf8(code)), "display text misses a code");
    return 0;
}
