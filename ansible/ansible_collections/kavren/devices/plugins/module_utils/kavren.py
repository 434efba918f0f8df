# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
"""What the kavren.devices modules share: the command lines they give
kavren, the plan file they write for it, and how they read its JSON into
Ansible's results, diffs and failures. Nothing here runs a process, so the
rules can be checked without a device."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import csv
import io
import json
import os

# The environment variable that carries the devices' current password to
# kavren: an argument would show in `ps` for every user of the host.
PASSWORD_ENV = "KAVREN_DEVICE_PASSWORD"

DEVICE_KEYS = ("mac", "name", "version", "ip", "mask", "gateway", "description", "found_via",
               "sender")
SETTING_KEYS = ("ip", "mask", "gateway", "description")
PLAN_COLUMNS = ("mac",) + SETTING_KEYS + ("new_password",)

NETWORK_OPTIONS = dict(
    adapters=dict(type="list", elements="str", default=[]),
    timeout=dict(type="float", default=2.0),
    executable=dict(type="str", default="kavren"),
)


def kavren_path(module):
    """The kavren to run: a path as given, else found on the host's PATH."""
    executable = module.params["executable"]
    if os.sep in executable:
        if not os.access(executable, os.X_OK):
            module.fail_json(msg="kavren executable %s cannot be run" % executable)
        return executable
    return module.get_bin_path(executable, required=True)


def network_args(params):
    args = []
    for adapter in params.get("adapters") or []:
        args += ["--adapter", adapter]
    args += ["--timeout", "%g" % params["timeout"]]
    if params.get("retries") is not None:
        args += ["--retries", str(params["retries"])]
    return args


# kavren's CSV rule, which keeps a spreadsheet from running a device's name
# as a formula: a value starting with one of these is written with an
# apostrophe in front, and a cell starting with an apostrophe followed by one
# of them is read as the text after the apostrophe.
FORMULA_LEADS = ("=", "+", "-", "@", "\t", "\r", "'")


def csv_cell(value):
    """A value as kavren writes it into a CSV cell."""
    if value is None:
        return ""
    text = str(value)
    return "'" + text if text.startswith(FORMULA_LEADS) else text


def csv_value(cell):
    """A CSV cell as kavren reads it back."""
    if cell and cell.startswith("'") and cell[1:].startswith(FORMULA_LEADS):
        return cell[1:]
    return cell


def plan_csv(devices):
    """The plan file for `kavren configure --plan`: one line per listed
    device, empty cells for the settings it keeps."""
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\r\n")
    writer.writerow(PLAN_COLUMNS)
    for device in devices:
        writer.writerow([csv_cell(device.get(key)) for key in PLAN_COLUMNS])
    return out.getvalue()


def parse_devices(stdout):
    """The devices of `kavren discover --json`, or None when it is not a
    list of them."""
    try:
        devices = json.loads(stdout)
    except ValueError:
        return None
    if not isinstance(devices, list) or not all(isinstance(d, dict) for d in devices):
        return None
    # Every key kavren writes goes through, so a field it gains reaches the
    # playbooks without a change here.
    return devices


def parse_run(stdout, listed):
    """The document of `kavren configure --json`, or None when it is not
    one that answers every listed device."""
    try:
        document = json.loads(stdout)
    except ValueError:
        return None
    if not isinstance(document, dict) or not isinstance(document.get("devices"), list):
        return None
    if len(document["devices"]) != len(listed):
        return None
    return document


def _message(entry):
    if entry.get("message"):
        return entry["message"]
    if entry.get("reason"):
        return entry["reason"]
    return {
        "unchanged": "reports the requested settings already; nothing sent",
        "would_change": "would be sent",
    }.get(entry.get("state"), "")


def run_results(document, listed, check_mode):
    """Per listed device (in order) its result, its before/after for diff
    mode, and whether the run changed anything: in check mode, whether it
    would; otherwise, whether any request left."""
    results, diffs = [], []
    changed = False
    for device, entry in zip(listed, document["devices"]):
        mac = entry.get("mac") or device["mac"]
        state = entry.get("state", "failed")
        results.append(dict(mac=mac, state=state, message=_message(entry)))
        if check_mode:
            changed = changed or state == "would_change"
        else:
            changed = changed or bool(entry.get("sent"))
        before = entry.get("before")
        if before is None:
            continue
        after = dict((key, entry["requested"].get(key, "")) for key in SETTING_KEYS)
        before = dict((key, before.get(key, "")) for key in SETTING_KEYS)
        # A password is never shown, not even as a length: only that a new
        # one goes out.
        if entry.get("new_password"):
            after["new_password"] = "(set)"
        diffs.append(dict(before_header=mac, after_header=mac, before=before, after=after))
    return results, diffs, changed


def failed_devices(results, verify, check_mode):
    """The results that fail the task: anything but unchanged or verified,
    acknowledged allowed when nothing is verified, and in check mode the
    devices that would be sent."""
    allowed = {"unchanged", "verified"}
    if not verify:
        allowed.add("acknowledged")
    if check_mode:
        allowed.add("would_change")
    return [r for r in results if r["state"] not in allowed]


def failure_message(failed):
    return "%d device(s) did not end as requested: %s" % (len(failed), "; ".join(
        "%s %s%s" % (r["mac"], r["state"], " (%s)" % r["message"] if r["message"] else "")
        for r in failed))
