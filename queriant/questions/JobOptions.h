// SPDX-License-Identifier: MIT
// The options that shape the dialogs of one job. The job source sets them when the job
// starts (the popup server's job announcement, or the request document); the dialogs read
// them from the question manager.
#pragma once

struct TJobOptions {
    // Mandatory cost centers: the cost-center levels must be answered.
    bool CostCenterMandatory = false;
    // A completed choice moves on without the Next button (the manager's SingleClick).
    bool AutoAdvance = false;
    bool HideShortcuts = false;
    bool AcceptDmsValue = false;
    bool SkipHistory = false;
    bool ShowAllCostcenters = false;
    // The answers of this job may be remembered and offered again.
    bool LastAnswersAllowed = false;

    friend bool operator==(const TJobOptions &, const TJobOptions &) = default;
};
