// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/audittrail.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace kavren::cli {

QString AuditTrail::defaultPath() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/kavren/audit.jsonl");
}

bool AuditTrail::append(const QJsonObject& entry, QString& error) const {
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath())) {
        error = QStringLiteral("cannot create ") + info.absolutePath();
        return false;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        error =
            QStringLiteral("cannot write ") + m_path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    // One write per line, so concurrent runs never interleave inside a line.
    const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    if (file.write(line) != line.size()) {
        error =
            QStringLiteral("cannot write ") + m_path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

std::optional<QJsonObject> AuditTrail::lastChange(const std::string& mac, QString& error) const {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("no audit trail at ") + m_path;
        return std::nullopt;
    }
    const QString wanted = QString::fromLatin1(mac.data(), static_cast<qsizetype>(mac.size()));
    std::optional<QJsonObject> last;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (!doc.isObject())
            continue;
        const QJsonObject entry = doc.object();
        if (entry.value(QStringLiteral("mac")).toString() != wanted)
            continue;
        if (entry.value(QStringLiteral("result")).toString() == QStringLiteral("not sent"))
            continue;
        last = entry;
    }
    if (!last)
        error = QStringLiteral("no change of ") + wanted + QStringLiteral(" in ") + m_path;
    return last;
}

}  // namespace kavren::cli
