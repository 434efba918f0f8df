// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/updaterecorder.h"

#include <QDateTime>
#include <QUuid>

#include "changes/changerecord.h"
#include "devices/devicelist.h"
#include "usecases/configuration.h"
#include "usecases/discovery.h"

namespace kavren::app {

UpdateRecorder::UpdateRecorder(QString path, std::function<void(const QString&)> warn)
    : m_trail(path.isEmpty() ? changes::AuditTrail::defaultPath() : std::move(path), warn),
      m_warn(std::move(warn)) {}

bool UpdateRecorder::sending(const devices::DeviceList& list, int row,
                             const usecases::CheckedSettings& settings,
                             protocol::Ipv4Address adapter, std::string& error,
                             const std::string& undoes) {
    Change change;
    change.reported = std::make_unique<const devices::DeviceRecord>(list.reported(row));
    change.job.device = {change.reported.get(), adapter, {}, {}};
    change.job.target = list.settingsToTake(row);
    // The trail says only whether a new password was set: the job holds a
    // stand-in, never the password.
    if (!list.newPassword(row).empty())
        change.job.newPassword = "*";
    change.result.state = usecases::JobState::Sent;
    change.result.destination = settings.destination;
    change.result.broadcast = settings.broadcast;
    change.result.sentAt =
        QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
    change.result.change = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    change.result.attempt = 1;
    change.undoes = undoes;
    const std::vector<usecases::ConfigJob> jobs{change.job};
    changes::ChangeRecorder recorder(m_trail, jobs);
    if (!undoes.empty())
        recorder.setUndoes({undoes});
    if (!recorder.sending(0, change.result, error))
        return false;
    m_leaving = std::move(change);
    return true;
}

void UpdateRecorder::sent(std::size_t index) {
    if (!m_leaving)
        return;
    m_leaving->result.handedOver = true;
    if (m_changes.size() <= index)
        m_changes.resize(index + 1);
    m_changes[index] = std::move(m_leaving);
    m_leaving.reset();
}

void UpdateRecorder::write(Change& change, usecases::JobState state) {
    change.result.state = state;
    const std::vector<usecases::ConfigJob> jobs{change.job};
    changes::ChangeRecorder recorder(m_trail, jobs);
    if (!change.undoes.empty())
        recorder.setUndoes({change.undoes});
    if (QString error; !recorder.outcome(0, change.result, error) && m_warn)
        m_warn(QStringLiteral("The audit trail cannot be written: ") + error);
}

void UpdateRecorder::answered(std::size_t index, const std::optional<std::string>& message) {
    if (index >= m_changes.size() || !m_changes[index])
        return;
    Change& change = *m_changes[index];
    if (!message) {
        change.result.reason = "no result message within the wait";
        write(change, usecases::JobState::Failed);
        return;
    }
    change.result.message = *message;
    if (usecases::acceptedAnswer(*message)) {
        write(change, usecases::JobState::Acknowledged);
    } else {
        change.result.why = usecases::JobWhy::DeviceRefused;
        write(change, usecases::JobState::Failed);
    }
}

void UpdateRecorder::verified(std::size_t index, bool verified, const std::string& reason) {
    if (index >= m_changes.size() || !m_changes[index])
        return;
    Change& change = *m_changes[index];
    change.result.reason = verified ? std::string() : reason;
    write(change, verified ? usecases::JobState::Verified : usecases::JobState::Failed);
}

}  // namespace kavren::app

namespace kavren::app {

std::optional<devices::DeviceSettings> UpdateRecorder::target(std::size_t index) const {
    if (index >= m_changes.size() || !m_changes[index])
        return std::nullopt;
    return m_changes[index]->job.target;
}

}  // namespace kavren::app
