// SPDX-License-Identifier: GPL-3.0-or-later
#include "changes/changerecord.h"

#include <QDateTime>

#include "changes/plan.h"
#include "wording/wording.h"

namespace kavren::changes {

QString fromDevice(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QJsonObject settingsJson(const devices::DeviceSettings& settings) {
    return {{QStringLiteral("ip"), fromDevice(devices::addressText(settings.ip))},
            {QStringLiteral("mask"), fromDevice(devices::addressText(settings.mask))},
            {QStringLiteral("gateway"), fromDevice(devices::addressText(settings.gateway))},
            {QStringLiteral("description"), fromDevice(settings.description)}};
}

devices::DeviceSettings settingsFromJson(const QJsonObject& object) {
    auto bytes = [&object](const char* key) {
        return object.value(QLatin1String(key)).toString().toLatin1().toStdString();
    };
    // Read from a file: an address that does not parse is not known.
    auto address = [&bytes](const char* key) { return protocol::Ipv4Address::parse(bytes(key)); };
    return {address("ip"), address("mask"), address("gateway"), bytes("description")};
}

QJsonObject ChangeRecorder::line(const usecases::ConfigJob& job, const usecases::JobResult& result,
                                 const QString& state) {
    const bool sending = state == QStringLiteral("sending");
    QJsonObject entry{
        {QStringLiteral("time"), sending
                                     ? QString::fromStdString(result.sentAt)
                                     : QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {QStringLiteral("change"), QString::fromStdString(result.change)},
        {QStringLiteral("attempt"), result.attempt},
        {QStringLiteral("adapter"), QString::fromStdString(job.device.foundVia.text())},
        {QStringLiteral("mac"), QString::fromStdString(job.device->mac)},
        {QStringLiteral("name"), fromDevice(job.device->name)},
        {QStringLiteral("before"), settingsJson(currentSettings(job.device))},
        {QStringLiteral("after"), settingsJson(job.target)},
        {QStringLiteral("new_password"), !job.newPassword.empty()},
        {QStringLiteral("destination"),
         QString::fromStdString(devices::addressText(result.destination))},
        {QStringLiteral("broadcast"), result.broadcast},
        {QStringLiteral("result"), state},
        {QStringLiteral("message"), fromDevice(result.message)},
        {QStringLiteral("reason"),
         fromDevice(wording::reasonText(job.device, job.target, result))}};
    // Only an outcome can know that no request of the change ever left.
    if (!sending)
        entry.insert(QStringLiteral("sent"), result.handedOver);
    return entry;
}

QJsonObject ChangeRecorder::withUndoes(std::size_t job, QJsonObject entry) const {
    if (job < m_undoes.size())
        entry.insert(QStringLiteral("undoes"), QString::fromStdString(m_undoes[job]));
    return entry;
}

bool ChangeRecorder::sending(std::size_t job, const usecases::JobResult& result,
                             std::string& error) const {
    QString failure;
    if (m_trail.append(withUndoes(job, line(m_jobs[job], result, QStringLiteral("sending"))),
                       failure))
        return true;
    error = "the audit trail cannot be written: " + failure.toStdString();
    return false;
}

bool ChangeRecorder::outcome(std::size_t job, const usecases::JobResult& result,
                             QString& error) const {
    if (result.attempt == 0 || !result.destination)
        return true;  // nothing was about to go out: no change to close
    switch (result.state) {
        case usecases::JobState::Acknowledged:
        case usecases::JobState::Verified:
        case usecases::JobState::Failed:
            return m_trail.append(
                withUndoes(job, line(m_jobs[job], result,
                                     QLatin1String(usecases::stateName(result.state)))),
                error);
        case usecases::JobState::NotSent:
        case usecases::JobState::Sent:
        case usecases::JobState::Unchanged:
        case usecases::JobState::RolledBack:
        case usecases::JobState::RollbackFailed:
            return true;
    }
    return true;
}

}  // namespace kavren::changes
