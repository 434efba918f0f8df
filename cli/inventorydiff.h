// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace kavren::cli {

// A site's list as `discover --json` wrote it: one object per device, keyed
// by MAC, in the document's order.
struct Inventory {
    std::vector<QJsonObject> devices;
};

// Reads a discovery document; nullopt with `error` saying why the bytes are
// not one (no JSON array of device objects, a device without a MAC, a MAC
// listed twice).
std::optional<Inventory> parseInventory(const QByteArray& bytes, QString& error);

// One field that two lists give a device differently.
struct FieldChange {
    QString mac;
    QString name;  // as the new list has it
    QString field;
    QString before;
    QString after;
};

// What happened between two lists: devices that came, devices that went,
// fields that changed, and senders that newly answer with a listed MAC (any
// host can, so each one is worth a look).
struct InventoryDiff {
    std::vector<QJsonObject> added;    // as the new list has them
    std::vector<QJsonObject> removed;  // as the old list had them
    std::vector<FieldChange> changed;
    struct Claim {
        QString mac;
        QString name;
        QStringList senders;
    };
    std::vector<Claim> impostors;

    bool empty() const {
        return added.empty() && removed.empty() && changed.empty() && impostors.empty();
    }
};

InventoryDiff diffInventories(const Inventory& before, const Inventory& after);

// The differences as a table for people, and as the document of --json
// (keys "new", "gone", "changed", "impostors").
QByteArray diffTable(const InventoryDiff& diff);
QByteArray diffJson(const InventoryDiff& diff);

}  // namespace kavren::cli
