// SPDX-License-Identifier: GPL-3.0-or-later
#include "changes/audittrail.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <map>

#include "changes/trailfile.h"

namespace kavren::changes {

QString AuditTrail::defaultPath() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/kavren/audit.jsonl");
}

void AuditTrail::warn(const QString& text) const {
    if (m_warning)
        m_warning(text);
}

bool AuditTrail::append(const QJsonObject& entry, QString& error) const {
    const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    TrailAppend found;
    if (!appendTrailLine(m_path, line, found, error))
        return false;
    if (!m_modesWarned && (found.widerFolderMode != 0 || found.widerFileMode != 0)) {
        m_modesWarned = true;
        const QString folder = QFileInfo(m_path).absolutePath();
        if (found.widerFolderMode != 0)
            warn(QStringLiteral("audit trail folder '%1' is open to others (mode %2)")
                     .arg(folder)
                     .arg(found.widerFolderMode, 4, 8, QLatin1Char('0')));
        if (found.widerFileMode != 0)
            warn(QStringLiteral("audit trail '%1' is open to others (mode %2)")
                     .arg(m_path)
                     .arg(found.widerFileMode, 4, 8, QLatin1Char('0')));
    }
    return true;
}

std::optional<QJsonObject> AuditTrail::lastChange(const std::string& mac, QString& error) const {
    if (!trailFileUsable(m_path, error))
        return std::nullopt;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("no audit trail at ") + m_path;
        return std::nullopt;
    }
    const QString wanted = QString::fromLatin1(mac.data(), static_cast<qsizetype>(mac.size()));
    struct Change {
        QJsonObject first;
        qsizetype order = 0;
        bool reached = true;
    };
    std::map<QString, Change> changes;
    qsizetype lineNumber = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        ++lineNumber;
        if (line.trimmed().isEmpty())
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (!doc.isObject()) {
            warn(QStringLiteral("audit trail '%1' line %2 is damaged; skipped")
                     .arg(m_path)
                     .arg(lineNumber));
            continue;
        }
        const QJsonObject entry = doc.object();
        if (entry.value(QStringLiteral("mac")).toString() != wanted)
            continue;
        const QString result = entry.value(QStringLiteral("result")).toString();
        if (result == QStringLiteral("not sent"))
            continue;
        // Lines of older files carry no change id: each is a change of its own.
        QString id = entry.value(QStringLiteral("change")).toString();
        if (id.isEmpty())
            id = QStringLiteral("line ") + QString::number(lineNumber);
        auto [it, added] = changes.try_emplace(id, Change{entry, lineNumber, true});
        if (entry.value(QStringLiteral("sent")) == QJsonValue(false))
            it->second.reached = false;
    }
    const Change* newest = nullptr;
    for (const auto& [id, change] : changes) {
        if (change.reached && (newest == nullptr || change.order > newest->order))
            newest = &change;
    }
    if (newest == nullptr) {
        error = QStringLiteral("no change of ") + wanted + QStringLiteral(" in ") + m_path;
        return std::nullopt;
    }
    return newest->first;
}

}  // namespace kavren::changes
