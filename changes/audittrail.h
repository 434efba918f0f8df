// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

namespace kavren::changes {

// Every configuration request, one JSON object per line, appended. Written
// ahead: a line with "result":"sending" is on disk before its request
// leaves, and lines with the outcome follow, linked by the same "change"
// id; so a run that dies at any moment still leaves the change for
// `restore`. Passwords never reach it: only whether a new one was set.
class AuditTrail final {
public:
    using Warning = std::function<void(const QString& text)>;

    explicit AuditTrail(QString path, Warning warning = {})
        : m_path(std::move(path)), m_warning(std::move(warning)) {}

    // $XDG_STATE_HOME/kavren/audit.jsonl, with ~/.local/state standing in for
    // an unset or relative XDG_STATE_HOME as the base directory rules say.
    static QString defaultPath();

    const QString& path() const { return m_path; }

    // Appends one line durably (see appendTrailLine). A folder or file that
    // others may use is left as it is, with one warning per trail object.
    bool append(const QJsonObject& entry, QString& error) const;

    // The first line of the newest change of `mac` that may have reached the
    // device: one with a "sending" line, or an older file's line of a sent
    // request, unless its request never left. Damaged lines (a crash tears
    // the last one) are skipped with a warning naming the line.
    std::optional<QJsonObject> lastChange(const std::string& mac, QString& error) const;

private:
    void warn(const QString& text) const;

    QString m_path;
    Warning m_warning;
    mutable bool m_modesWarned = false;
};

}  // namespace kavren::changes
