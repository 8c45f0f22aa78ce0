// SPDX-License-Identifier: MIT
#include "CostCenter.h"

TCostCenterList PairCostCenters(const QStringList &codes, const QStringList &descriptions) {
    TCostCenterList list;
    list.reserve(codes.size());
    for (qsizetype i = 0; i < codes.size(); ++i)
        list.append({codes[i], descriptions.value(i)});
    return list;
}

namespace {

QStringList fieldOf(const TCostCenterList &list, QString TCostCenter::*field) {
    QStringList texts;
    texts.reserve(list.size());
    for (const TCostCenter &entry : list)
        texts.append(entry.*field);
    return texts;
}

} // namespace

QStringList CostCenterCodes(const TCostCenterList &list) {
    return fieldOf(list, &TCostCenter::Code);
}

QStringList CostCenterDescriptions(const TCostCenterList &list) {
    return fieldOf(list, &TCostCenter::Description);
}
