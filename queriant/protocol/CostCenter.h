// SPDX-License-Identifier: MIT
// A cost center as the popup server names it: one code of one level with its description.
// Look-up results travel as lists of these values, never as separate code and description
// lists that could drift apart.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct TCostCenter {
    QString Code;
    QString Description;

    friend bool operator==(const TCostCenter &, const TCostCenter &) = default;
};

// The codes of one level, in the server's order.
using TCostCenterList = QList<TCostCenter>;

// The user's most recent combinations: each row holds one cost center per level, first
// level first.
struct TCostCenterHistory {
    int CountCombinations = 0;
    int CountCategories = 0;
    QList<TCostCenterList> History;
};

// One entry per code; a code without a description gets an empty one, and descriptions
// beyond the last code are dropped.
TCostCenterList PairCostCenters(const QStringList &codes, const QStringList &descriptions);
QStringList CostCenterCodes(const TCostCenterList &list);
QStringList CostCenterDescriptions(const TCostCenterList &list);
