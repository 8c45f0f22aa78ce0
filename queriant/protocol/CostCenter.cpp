// SPDX-License-Identifier: MIT
#include "CostCenter.h"

TCostCenterList PairCostCenters(const QStringList &codes, const QStringList &descriptions) {
    TCostCenterList list;
    list.reserve(codes.size());
    for (qsizetype i = 0; i < codes.size(); ++i)
        list.append({codes[i], descriptions.value(i)});
    return list;
}

QStringList CostCenterCodes(const TCostCenterList &list) {
    QStringList codes;
    codes.reserve(list.size());
    for (const TCostCenter &entry : list)
        codes.append(entry.Code);
    return codes;
}

QStringList CostCenterDescriptions(const TCostCenterList &list) {
    QStringList descriptions;
    descriptions.reserve(list.size());
    for (const TCostCenter &entry : list)
        descriptions.append(entry.Description);
    return descriptions;
}
