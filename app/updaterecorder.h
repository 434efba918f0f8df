// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "changes/audittrail.h"
#include "devices/devicerecord.h"
#include "protocol/ipv4.h"
#include "usecases/configurationrun.h"

namespace kavren::devices {
class DeviceList;
}
namespace kavren::usecases {
class CheckedSettings;
}

namespace kavren::app {

// The window's side of kavren's audit trail: each request is written ahead
// ("sending", synced) by the same ChangeRecorder kavren uses, and its
// outcome follows under the same change id, so `kavren restore` can undo a
// change made here and the window one made by kavren.
class UpdateRecorder final {
public:
    // `warn` hears what the trail has to say besides failing (a folder open
    // to others, a damaged line, an outcome that could not be written).
    UpdateRecorder(QString path, std::function<void(const QString&)> warn);

    const changes::AuditTrail& trail() const { return m_trail; }

    // Before device `row`'s request leaves from `adapter`: false (and why)
    // when the line could not be written; the request must not go then.
    // `undoes` names the change a restore takes back.
    bool sending(const devices::DeviceList& list, int row,
                 const usecases::CheckedSettings& settings, protocol::Ipv4Address adapter,
                 std::string& error, const std::string& undoes = {});
    // The request written last has left; its record is result `index`.
    void sent(std::size_t index);
    // Result `index`'s device answered `message`, or nothing came within
    // the wait (nullopt); then whether it reports the requested settings.
    void answered(std::size_t index, const std::optional<std::string>& message);
    void verified(std::size_t index, bool verified, const std::string& reason);
    // The settings result `index`'s request asked for; nothing when it
    // was not recorded.
    std::optional<devices::DeviceSettings> target(std::size_t index) const;

private:
    struct Change {
        // The device as it reported before the change; job.device points
        // at it (on the heap, so that moving the change keeps it there).
        std::unique_ptr<const devices::DeviceRecord> reported;
        usecases::ConfigJob job;
        usecases::JobResult result;
        std::string undoes;
    };
    void write(Change& change, usecases::JobState state);

    changes::AuditTrail m_trail;
    std::function<void(const QString&)> m_warn;
    std::optional<Change> m_leaving;
    std::vector<std::optional<Change>> m_changes;  // by result index
};

}  // namespace kavren::app
