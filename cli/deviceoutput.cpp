// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/deviceoutput.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "usecases/devicecsv.h"

namespace kavren::cli {

QString visibleText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t code = ch.unicode();
        if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0)) {
            out +=
                QStringLiteral("\\x%1").arg(static_cast<unsigned>(code), 2, 16, QLatin1Char('0'));
        } else {
            out += ch;
        }
    }
    return out;
}

QString visibleDeviceText(const std::string& bytes) {
    return visibleText(fromDevice(bytes));
}

namespace {

// What a writer hands its sink, as one document.
template <typename Write>
QByteArray collected(const Write& write) {
    QByteArray document;
    write([&document](QByteArrayView bytes) { document += bytes; });
    return document;
}

}  // namespace

void writeTable(const QStringList& headers, std::size_t rowCount,
                const std::function<QStringList(std::size_t)>& rowAt, const OutputSink& out) {
    auto shown = [](QStringList cells) {
        for (QString& cell : cells)
            cell = visibleText(cell);
        return cells;
    };
    std::vector<qsizetype> widths(static_cast<std::size_t>(headers.size()));
    for (qsizetype c = 0; c < headers.size(); ++c)
        widths[static_cast<std::size_t>(c)] = headers[c].size();
    for (std::size_t r = 0; r < rowCount; ++r) {
        const QStringList row = shown(rowAt(r));
        for (qsizetype c = 0; c < row.size() && c < headers.size(); ++c) {
            auto& width = widths[static_cast<std::size_t>(c)];
            width = std::max(width, row[c].size());
        }
    }
    auto line = [&widths](const QStringList& cells) {
        QString text;
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const bool last = c + 1 == cells.size();
            text += last ? cells[c] : cells[c].leftJustified(widths[static_cast<std::size_t>(c)]);
            if (!last)
                text += QStringLiteral("  ");
        }
        return text.toUtf8() + '\n';
    };
    out(line(headers));
    for (std::size_t r = 0; r < rowCount; ++r)
        out(line(shown(rowAt(r))));
}

QByteArray formatTable(const QStringList& headers, const std::vector<QStringList>& rows) {
    return collected([&](const OutputSink& out) {
        writeTable(
            headers, rows.size(), [&rows](std::size_t r) { return rows[r]; }, out);
    });
}

namespace {

QStringList columnTexts(std::string_view usecases::DeviceColumn::*text) {
    QStringList texts;
    for (const usecases::DeviceColumn& column : usecases::kDeviceColumns)
        texts << QString::fromLatin1(column.*text);
    return texts;
}

}  // namespace

const QStringList& deviceKeys() {
    static const QStringList keys = columnTexts(&usecases::DeviceColumn::key);
    return keys;
}

const QStringList& deviceHeaders() {
    static const QStringList headers = columnTexts(&usecases::DeviceColumn::caption);
    return headers;
}

QStringList deviceFields(const usecases::FoundDevice& device) {
    return {fromDevice(device->mac),
            fromDevice(device->name),
            fromDevice(device->version),
            fromDevice(devices::addressText(device->deviceIp)),
            fromDevice(devices::addressText(device->mask)),
            fromDevice(devices::addressText(device->gateway)),
            fromDevice(device->description),
            fromDevice(device.foundVia.text()),
            fromDevice(device.sender.text())};
}

QJsonObject deviceJson(const usecases::FoundDevice& device) {
    QJsonObject object;
    const QStringList fields = deviceFields(device);
    for (qsizetype i = 0; i < fields.size(); ++i)
        object.insert(deviceKeys()[i], fields[i]);
    // What the CSV leaves out (its columns are shared with the window's
    // export): the other senders claiming the MAC, and whether the reply
    // came from the address it reports (one host may answer for several
    // devices, so a difference is told, not refused).
    QJsonArray others;
    for (const usecases::RivalClaim& rival : device.rivals)
        others.append(fromDevice(rival.sender.text()));
    object.insert(QStringLiteral("other_senders"), others);
    object.insert(QStringLiteral("sender_is_device_ip"), device.sender == device->deviceIp);
    return object;
}

void writeDevicesTable(const usecases::FoundDevices& devices, const OutputSink& out) {
    QStringList headers{QStringLiteral("#")};
    headers += deviceHeaders();
    writeTable(
        headers, devices.size(),
        [&devices](std::size_t r) {
            return QStringList{QString::number(r + 1)} + deviceFields(devices[r]);
        },
        out);
}

void writeDevicesJson(const usecases::FoundDevices& devices, const OutputSink& out) {
    // The array as QJsonDocument writes it indented, but one device at a
    // time: a long list is then never held as JSON values, nor as text.
    // Each level of nesting is four more spaces, so a device's own document
    // goes in one level deeper.
    out("[\n");
    for (std::size_t i = 0; i < devices.size(); ++i) {
        QByteArray object = QJsonDocument(deviceJson(devices[i])).toJson(QJsonDocument::Indented);
        object.chop(1);
        out("    " + object.replace("\n", "\n    ") + (i + 1 < devices.size() ? ",\n" : "\n"));
    }
    out("]\n");
}

void writeDevicesCsv(const usecases::FoundDevices& devices, const OutputSink& out) {
    // The window's export writes the same lines, through the same writer.
    std::string text;
    usecases::appendDeviceCsvHeader(text, usecases::DeviceCsvColumns::All);
    out(QByteArrayView(text));
    for (const usecases::FoundDevice d : devices) {
        text.clear();
        usecases::appendDeviceCsvLine(
            text,
            {d->mac, d->name, d->version, devices::addressText(d->deviceIp),
             devices::addressText(d->mask), devices::addressText(d->gateway), d->description,
             d.foundVia.text(), d.sender.text()},
            usecases::DeviceCsvColumns::All);
        out(QByteArrayView(text));
    }
}

QByteArray devicesTable(const usecases::FoundDevices& devices) {
    return collected([&](const OutputSink& out) { writeDevicesTable(devices, out); });
}

QByteArray devicesJson(const usecases::FoundDevices& devices) {
    return collected([&](const OutputSink& out) { writeDevicesJson(devices, out); });
}

QByteArray devicesCsv(const usecases::FoundDevices& devices) {
    return collected([&](const OutputSink& out) { writeDevicesCsv(devices, out); });
}

}  // namespace kavren::cli
