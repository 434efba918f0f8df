// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QString>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "changes/audittrail.h"
#include "usecases/configurationrun.h"
#include "usecases/founddevice.h"

namespace kavren::changes {

// Device texts are bytes. Every output reads them as Latin-1, one character
// per byte, and writes UTF-8, so a reader that encodes the parsed text back
// to Latin-1 has the device's exact bytes again.
QString fromDevice(const std::string& bytes);
// A device's four settings (ip, mask, gateway, description) as the audit
// trail and the --json document of configure and restore write them.
QJsonObject settingsJson(const devices::DeviceSettings& settings);
// The settings a trail line records, as the device's bytes again.
devices::DeviceSettings settingsFromJson(const QJsonObject& object);

// Keeps a run's audit trail: one "sending" line before each request leaves,
// written and synced first, and a line for each outcome after it, all of
// one device's change under one "change" id.
class ChangeRecorder final {
public:
    ChangeRecorder(const AuditTrail& trail, const std::vector<usecases::ConfigJob>& jobs)
        : m_trail(trail), m_jobs(jobs) {}

    // Before a request leaves: false (and why) when the line could not be
    // written; the request must not go then.
    bool sending(std::size_t job, const usecases::JobResult& result, std::string& error) const;

    // After a state change: an outcome line once a request went out, for
    // acknowledged, verified and failed. False with `error` when the line
    // could not be written.
    bool outcome(std::size_t job, const usecases::JobResult& result, QString& error) const;

    // The jobs are rollbacks: each line of job i names the change
    // `changes[i]` that it undoes.
    void setUndoes(std::vector<std::string> changes) { m_undoes = std::move(changes); }

    // One line of the trail; `state` is "sending" or the outcome.
    static QJsonObject line(const usecases::ConfigJob& job, const usecases::JobResult& result,
                            const QString& state);

private:
    QJsonObject withUndoes(std::size_t job, QJsonObject entry) const;

    const AuditTrail& m_trail;
    const std::vector<usecases::ConfigJob>& m_jobs;
    std::vector<std::string> m_undoes;
};

}  // namespace kavren::changes
