// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>
#include <string>

namespace kavren::cli {

// Every configuration request sent, one JSON object per line, appended.
// Passwords never reach it: only whether a new one was set.
class AuditTrail final {
public:
    explicit AuditTrail(QString path) : m_path(std::move(path)) {}

    // $XDG_STATE_HOME/kavren/audit.jsonl, with ~/.local/state standing in for
    // an unset or relative XDG_STATE_HOME as the base directory rules say.
    static QString defaultPath();

    const QString& path() const { return m_path; }
    bool append(const QJsonObject& entry, QString& error) const;
    // The newest entry for `mac` whose request went out.
    std::optional<QJsonObject> lastChange(const std::string& mac, QString& error) const;

private:
    QString m_path;
};

}  // namespace kavren::cli
