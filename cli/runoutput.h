// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <vector>

#include "changes/plan.h"
#include "usecases/configurationrun.h"
#include "usecases/founddevice.h"

namespace kavren::cli {

// What configure and restore print about their devices: the preview before
// anything is sent, one line per result as it comes, and the summary.

// The checked plan as a table, one row per entry; its last column says "ok"
// or lists the entry's errors and warnings.
QByteArray previewTable(const std::vector<changes::PlanEntry>& entries);

// "MAC  state ..." for one result of a job, with a line end.
QString resultLine(const usecases::ConfigJob& job, const usecases::JobResult& result);

// How a whole run ended. Devices never sent to count as failed.
struct RunSummary {
    std::size_t devices = 0;
    int verified = 0;
    int acknowledged = 0;
    int failed = 0;
    int unchanged = 0;
};
RunSummary summarise(const std::vector<usecases::JobResult>& results);
// "N device(s): V verified, A acknowledged, F failed", with a line end;
// ", U unchanged" before it when some devices already had their settings.
QString summaryLine(const RunSummary& summary);

// The document of configure --json and restore --json: per plan entry its
// settings before and requested, whether a new password was set (never the
// password), what was sent or why not, the device's result message and the
// final state, then the totals. `results` holds one result per entry; an
// entry whose device was not found is "not_found", and with `dryRun` one
// that would be sent is "would_change".
QByteArray runJson(const QString& command, bool dryRun,
                   const std::vector<changes::PlanEntry>& entries,
                   const std::vector<usecases::JobResult>& results);

}  // namespace kavren::cli
