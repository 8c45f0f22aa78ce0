// SPDX-License-Identifier: MIT
#include "HostLayout.h"

#include "QuestionManager.h"

TFormMode FormModeFor(const TQuestionManager &manager, const TQuestionSet *set) {
    if (manager.IsFirstSet(set))
        return fmFirst;
    if (manager.IsSingleSet())
        return fmSingle;
    if (manager.IsLastSet(set))
        return fmLast;
    return fmMiddle;
}

QPoint CentredOrigin(const QRect &monitor, const QSize &client) {
    return monitor.topLeft() +
           QPoint((monitor.width() - client.width()) / 2, (monitor.height() - client.height()) / 2);
}
