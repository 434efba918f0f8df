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


def merge_sites(found):
    """`found` maps each site to the devices its host discovered. Returns
    one row per device and site, sorted by site and MAC, with `flags` naming
    what needs a look: a MAC seen at another site too (the same device
    reached twice, or a cloned MAC), or an address that two devices of one
    site report (only one of them can be reached at it)."""
    sites_of_mac = {}
    macs_at = {}
    for site, devices in found.items():
        for device in devices:
            sites_of_mac.setdefault(device["mac"], set()).add(site)
            macs_at.setdefault((site, device["ip"]), set()).add(device["mac"])
    rows = []
    for site in sorted(found):
        for device in sorted(found[site], key=lambda d: d["mac"]):
            flags = []
            others = sorted(sites_of_mac[device["mac"]] - {site})
            if others:
                flags.append("MAC also at %s" % ", ".join(others))
            twins = sorted(macs_at[(site, device["ip"])] - {device["mac"]})
            if twins:
                flags.append("address %s also reported by %s" % (device["ip"], ", ".join(twins)))
            row = dict(device, site=site, flags="; ".join(flags))
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


def site_plan(text, site):
    """The devices of one site from a plan CSV with a header line: the
    columns of `kavren configure --plan` and a `site` column. Empty cells
    keep the device's setting and are left out."""
    reader = csv.DictReader(io.StringIO(text))
    if not reader.fieldnames or "site" not in reader.fieldnames or "mac" not in reader.fieldnames:
        raise ValueError("the plan needs a header line with site and mac columns")
    unknown = set(reader.fieldnames) - set(PLAN_COLUMNS) - {"site"}
    if unknown:
        raise ValueError("unknown plan columns: %s" % ", ".join(sorted(unknown)))
    return [dict((key, csv_value(value)) for key, value in row.items()
                 if key in PLAN_COLUMNS and value not in (None, ""))
            for row in reader if (row.get("site") or "").strip() == site]


class FilterModule(object):
    def filters(self):
        return dict(merge_sites=merge_sites, devices_csv=devices_csv, site_plan=site_plan)
