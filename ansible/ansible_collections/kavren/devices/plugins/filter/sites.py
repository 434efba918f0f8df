# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
"""Filters for the playbooks of many sites: the merged device list with its
warnings, as rows and as CSV, and one site's part of a plan CSV."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import csv
import io

from ansible_collections.kavren.devices.plugins.module_utils.kavren import (DEVICE_KEYS,
                                                                            PLAN_COLUMNS, csv_cell,
                                                                            csv_value)

MERGED_COLUMNS = DEVICE_KEYS + ("site", "flags")
# A plan CSV may name the sender to trust for a contested MAC; the module
# passes it to kavren as --sender, not in its plan file.
SITE_PLAN_COLUMNS = PLAN_COLUMNS + ("sender",)
BOM = u"\ufeff"


def _lists(found):
    """(site, host, devices) from either a list of dicts with those keys
    (what the playbook gives: two hosts may serve one site) or a mapping
    of site to devices (one host per site, named as its site)."""
    if isinstance(found, dict):
        return [(site, site, devices) for site, devices in found.items()]
    return [(entry["site"], entry.get("host") or entry["site"], entry["devices"])
            for entry in found]


def _impostor_flags(device):
    flags = []
    if device.get("other_senders"):
        flags.append("MAC also claimed by %s: another host may answer in its place" % ", ".join(
            device["other_senders"]))
    if device.get("sender_is_device_ip") is False:
        flags.append("reply came from %s, not from its address" % device.get("sender"))
    return flags


def merge_sites(found):
    """`found` is what each site host discovered (see _lists). Returns one
    row per device and host, sorted by site, host and MAC, with `flags`
    naming what needs a look: a MAC seen at another site too (the same
    device reached twice, or a cloned MAC) or by another host of the site,
    an address that two devices of one site report (only one of them can
    be reached at it), and the signs of a host answering in a device's
    place. Rows of a site that two hosts serve carry `host`."""
    lists = _lists(found)
    sites_of_mac, hosts_of_mac, macs_at, hosts_of_site = {}, {}, {}, {}
    for site, host, devices in lists:
        hosts_of_site.setdefault(site, set()).add(host)
        for device in devices:
            sites_of_mac.setdefault(device["mac"], set()).add(site)
            hosts_of_mac.setdefault((site, device["mac"]), set()).add(host)
            macs_at.setdefault((site, device["ip"]), set()).add(device["mac"])
    rows = []
    for site, host, devices in sorted(lists, key=lambda entry: entry[:2]):
        for device in sorted(devices, key=lambda d: d["mac"]):
            flags = []
            others = sorted(sites_of_mac[device["mac"]] - {site})
            if others:
                flags.append("MAC also at %s" % ", ".join(others))
            neighbours = sorted(hosts_of_mac[(site, device["mac"])] - {host})
            if neighbours:
                flags.append("MAC also found by %s of the site" % ", ".join(neighbours))
            twins = sorted(macs_at[(site, device["ip"])] - {device["mac"]})
            if twins:
                flags.append("address %s also reported by %s" % (device["ip"], ", ".join(twins)))
            flags += _impostor_flags(device)
            row = dict(device, site=site, flags="; ".join(flags))
            if len(hosts_of_site[site]) > 1:
                row["host"] = host
                row["flags"] = "; ".join(["found by %s, one of the site's %d hosts" % (
                    host, len(hosts_of_site[site]))] + flags)
            rows.append(row)
    return rows


def devices_csv(rows):
    """The merged rows as CSV (RFC 4180), the columns of `kavren discover
    --csv` and then site and flags, with its rule for cells a spreadsheet
    would run as a formula."""
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\r\n")
    writer.writerow(MERGED_COLUMNS)
    for row in rows:
        writer.writerow([csv_cell(row.get(key, "")) for key in MERGED_COLUMNS])
    return out.getvalue()


def _plan_rows(text):
    # A spreadsheet saves UTF-8 with a byte order mark in front.
    reader = csv.DictReader(io.StringIO(text[len(BOM):] if text.startswith(BOM) else text))
    if not reader.fieldnames or "site" not in reader.fieldnames or "mac" not in reader.fieldnames:
        raise ValueError("the plan needs a header line with site and mac columns, not %s"
                         % ",".join(reader.fieldnames or []))
    unknown = set(reader.fieldnames) - set(SITE_PLAN_COLUMNS) - {"site"}
    if unknown:
        raise ValueError("unknown plan columns: %s" % ", ".join(sorted(unknown)))
    return list(reader)


def site_plan(text, site):
    """The devices of one site from a plan CSV with a header line: the
    columns of `kavren configure --plan`, a `site` column and optionally a
    `sender` column. Empty cells keep the device's setting and are left
    out."""
    return [dict((key, csv_value(value)) for key, value in row.items()
                 if key in SITE_PLAN_COLUMNS and value not in (None, ""))
            for row in _plan_rows(text) if (row.get("site") or "").strip() == site]


def plan_sites(text):
    """The sites a plan CSV names, sorted, each once."""
    return sorted(set((row.get("site") or "").strip() for row in _plan_rows(text)))


def site_rows(rows, site, host):
    """The rows of a merged list that one host of a site gave: a row
    without `host` is of the site's only host."""
    return [row for row in rows or [] if row.get("site") == site
            and row.get("host", host) == host]


def differences_text(differences):
    """The document of `kavren diff --json` in one line for a person."""
    parts = []
    for key in ("new", "gone"):
        if differences.get(key):
            parts.append("%s %s" % (key, ", ".join(d.get("mac", "?") for d in differences[key])))
    for change in differences.get("changed") or []:
        parts.append("%s %s %s -> %s" % (change.get("mac"), change.get("field"), change.get("old"),
                                         change.get("new")))
    for claim in differences.get("impostors") or []:
        parts.append("%s newly claimed by %s" % (claim.get("mac"),
                                                 ", ".join(claim.get("other_senders") or [])))
    return "; ".join(parts) or "no differences"


class FilterModule(object):
    def filters(self):
        return dict(merge_sites=merge_sites, devices_csv=devices_csv, site_plan=site_plan,
                    plan_sites=plan_sites, site_rows=site_rows, differences_text=differences_text)
