// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/inventorydiff.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QStringList>

#include "cli/deviceoutput.h"

namespace kavren::cli {

namespace {

const QString kMac = QStringLiteral("mac");
const QString kName = QStringLiteral("name");
const QString kIp = QStringLiteral("ip");
const QString kOtherSenders = QStringLiteral("other_senders");

// The fields whose change is worth telling: every column but the MAC, which
// is what a device is known by.
QStringList comparedFields() {
    QStringList fields = deviceKeys();
    fields.removeAll(kMac);
    return fields;
}

QStringList otherSenders(const QJsonObject& device) {
    QStringList senders;
    for (const QJsonValue& sender : device.value(kOtherSenders).toArray())
        senders << sender.toString();
    return senders;
}

// Why `device` is no device of a discovery document; empty when it is one.
QString deviceError(const QJsonValue& value) {
    if (!value.isObject())
        return QStringLiteral("an entry is not an object");
    const QJsonObject device = value.toObject();
    if (device.value(kMac).toString().isEmpty())
        return QStringLiteral("an entry has no MAC");
    for (const QString& field : comparedFields()) {
        if (device.contains(field) && !device.value(field).isString())
            return QStringLiteral("\"%1\" of %2 is not a text")
                .arg(field, device.value(kMac).toString());
    }
    if (device.contains(kOtherSenders) && !device.value(kOtherSenders).isArray())
        return QStringLiteral("\"other_senders\" of %1 is not a list")
            .arg(device.value(kMac).toString());
    return {};
}

QJsonObject changeJson(const FieldChange& change) {
    return {{kMac, change.mac},
            {QStringLiteral("field"), change.field},
            {QStringLiteral("old"), change.before},
            {QStringLiteral("new"), change.after}};
}

}  // namespace

std::optional<Inventory> parseInventory(const QByteArray& bytes, QString& error) {
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = QStringLiteral("not JSON: ") + parseError.errorString();
        return std::nullopt;
    }
    if (!document.isArray()) {
        error = QStringLiteral("not a list of devices");
        return std::nullopt;
    }
    Inventory inventory;
    QHash<QString, bool> seen;
    for (const QJsonValue& value : document.array()) {
        if (const QString why = deviceError(value); !why.isEmpty()) {
            error = why;
            return std::nullopt;
        }
        const QJsonObject device = value.toObject();
        const QString mac = device.value(kMac).toString();
        if (seen.contains(mac)) {
            error = QStringLiteral("%1 is listed twice").arg(mac);
            return std::nullopt;
        }
        seen.insert(mac, true);
        inventory.devices.push_back(device);
    }
    return inventory;
}

InventoryDiff diffInventories(const Inventory& before, const Inventory& after) {
    QHash<QString, const QJsonObject*> old;
    for (const QJsonObject& device : before.devices)
        old.insert(device.value(kMac).toString(), &device);
    QHash<QString, bool> kept;
    InventoryDiff diff;
    for (const QJsonObject& device : after.devices) {
        const QString mac = device.value(kMac).toString();
        const QJsonObject* previous = old.value(mac, nullptr);
        QStringList senders = otherSenders(device);
        const QStringList previousSenders = previous ? otherSenders(*previous) : QStringList();
        QStringList claims;
        for (const QString& sender : senders) {
            if (!previousSenders.contains(sender))
                claims << sender;
        }
        const QString name = device.value(kName).toString();
        if (!claims.isEmpty())
            diff.impostors.push_back({mac, name, claims});
        if (previous == nullptr) {
            diff.added.push_back(device);
            continue;
        }
        kept.insert(mac, true);
        for (const QString& field : comparedFields()) {
            const QString was = previous->value(field).toString();
            const QString is = device.value(field).toString();
            if (was != is)
                diff.changed.push_back({mac, name, field, was, is});
        }
        // A sender that stopped claiming the MAC is a change too; a new one
        // is told as an impostor above.
        if (claims.isEmpty() && senders != previousSenders) {
            diff.changed.push_back({mac, name, kOtherSenders,
                                    previousSenders.join(QStringLiteral(", ")),
                                    senders.join(QStringLiteral(", "))});
        }
    }
    for (const QJsonObject& device : before.devices) {
        if (!kept.contains(device.value(kMac).toString()))
            diff.removed.push_back(device);
    }
    return diff;
}

QByteArray diffTable(const InventoryDiff& diff) {
    if (diff.empty())
        return {};
    const QStringList headers{QStringLiteral("Change"),      QStringLiteral("MAC Address"),
                              QStringLiteral("Device Name"), QStringLiteral("Field"),
                              QStringLiteral("Old"),         QStringLiteral("New")};
    std::vector<QStringList> rows;
    for (const QJsonObject& device : diff.added) {
        const QString mac = device.value(kMac).toString();
        rows.push_back({QStringLiteral("new"),
                        mac,
                        device.value(kName).toString(),
                        kIp,
                        {},
                        device.value(kIp).toString()});
    }
    for (const QJsonObject& device : diff.removed) {
        rows.push_back({QStringLiteral("gone"),
                        device.value(kMac).toString(),
                        device.value(kName).toString(),
                        kIp,
                        device.value(kIp).toString(),
                        {}});
    }
    for (const FieldChange& change : diff.changed)
        rows.push_back({QStringLiteral("changed"), change.mac, change.name, change.field,
                        change.before, change.after});
    for (const InventoryDiff::Claim& claim : diff.impostors)
        rows.push_back({QStringLiteral("impostor"),
                        claim.mac,
                        claim.name,
                        QStringLiteral("other sender"),
                        {},
                        claim.senders.join(QStringLiteral(", "))});
    return formatTable(headers, rows);
}

QByteArray diffJson(const InventoryDiff& diff) {
    QJsonArray added;
    for (const QJsonObject& device : diff.added)
        added.append(device);
    QJsonArray removed;
    for (const QJsonObject& device : diff.removed)
        removed.append(device);
    QJsonArray changed;
    for (const FieldChange& change : diff.changed)
        changed.append(changeJson(change));
    QJsonArray impostors;
    for (const InventoryDiff::Claim& claim : diff.impostors) {
        impostors.append(QJsonObject{{kMac, claim.mac},
                                     {kOtherSenders, QJsonArray::fromStringList(claim.senders)}});
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("new"), added},
                                     {QStringLiteral("gone"), removed},
                                     {QStringLiteral("changed"), changed},
                                     {QStringLiteral("impostors"), impostors}})
        .toJson(QJsonDocument::Indented);
}

}  // namespace kavren::cli
