// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "cli/configrun.h"
#include "cli/plan.h"

namespace kavren::cli {

// What configure and restore print about their devices: the preview before
// anything is sent, one line per result as it comes, and the summary.

// The checked plan as a table, one row per entry; its last column says "ok"
// or lists the entry's errors and warnings.
QByteArray previewTable(const std::vector<PlanEntry>& entries);

// "MAC  state ..." for one result of a job, with a line end.
QString resultLine(const ConfigJob& job, const JobResult& result);

// How a whole run ended. Devices never sent to count as failed.
struct RunSummary {
    std::size_t devices = 0;
    int verified = 0;
    int acknowledged = 0;
    int failed = 0;
};
RunSummary summarise(const std::vector<JobResult>& results);
// "N device(s): V verified, A acknowledged, F failed", with a line end.
QString summaryLine(const RunSummary& summary);

}  // namespace kavren::cli
