// SPDX-License-Identifier: MIT
#include "ResourceStrings.h"

#include "SimpleTranslator.h"

QString LoadResString(const TResourceString &res) {
    return Translate(QString::fromUtf8(res.Key), QString::fromUtf8(res.Default));
}

QString StandardButtonCaption(int value) {
    static const TResourceString *const buttons[] = {&Res::Btn1, &Res::Btn2, &Res::Btn3, &Res::Btn4,
                                                     &Res::Btn5, &Res::Btn6, &Res::Btn7};
    if (value < 1 || value > 7)
        return QString();
    return LoadResString(*buttons[value - 1]);
}
