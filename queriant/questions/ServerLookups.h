// SPDX-License-Identifier: MIT
// What a job with a popup server offers the question manager for the dialogs' look-ups. The
// manager asks its job source for this; a job without a server has none, and the manager then
// answers the look-up itself.
#pragma once

#include "CostCenter.h"
#include "MemMappedFile.h"

#include <QString>
#include <QStringList>

class TShortCutManager;

class TServerLookups {
public:
    virtual ~TServerLookups() = default;

    // The job user's codes of a level under a parent code; "%" in the pattern matches any run
    // of characters.
    virtual TCostCenterList FindUserCodes(const QString &category, const QString &pattern,
                                          const QString &parent, int maximum) = 0;
    virtual TCostCenterList ListRecentUserCodes(const QString &category, const QString &parent,
                                                int maximum) = 0;
    // The user's recent combinations, asked once per user and kept until the cost-center
    // cache is cleared.
    virtual TCostCenterHistory ListLastAnswers(const QString &category, int maximum) = 0;
    // The rows of a server-side query.
    virtual QStringList GetSqlList(const QString &statement, const QString &firstLine,
                                   const QString &secondLine, const QString &values) = 0;
    // The job as the print data manager read it; empty before the job is set up.
    virtual TJobDetails JobDetails() const = 0;
    // The user's saved cost-center selections, loaded with the job's questions.
    virtual TShortCutManager &ShortCutManager() = 0;
};
