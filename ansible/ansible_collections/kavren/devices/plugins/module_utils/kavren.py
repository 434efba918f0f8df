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


def command_failure(what, rc, stdout, stderr):
    """Why a kavren run gave no usable answer, in words: its own message,
    else what it printed instead of its JSON, else its exit status."""
    text = " ".join(stderr.split())
    if text:
        return "%s failed: %s" % (what, text)
    if stdout.strip():
        return "%s failed: its output is not the JSON expected: %s" % (what, stdout.strip()[:200])
    return "%s failed with exit status %s and no output" % (what, rc)


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


# A device keeps this many bytes of a description and cuts the rest; kavren
# compares the cut text, so the diff does too. kavren's JSON holds device
# bytes read as Latin-1: one character is one byte.
DESCRIPTION_WIDTH = 32

STATE_MESSAGES = {
    "unchanged": "reports the requested settings already; nothing sent",
    "would_change": "would be sent",
}


def run_results(document, listed, check_mode):
    """Per listed device (in order) its result, its before/after for diff
    mode, and whether the run changed anything: in check mode, whether it
    would; otherwise, whether any request left."""
    results, diffs = [], []
    changed = False
    for device, entry in zip(listed, document["devices"]):
        mac = entry.get("mac") or device["mac"]
        state = entry.get("state", "failed")
        results.append(dict(mac=mac, state=state,
                            message=entry.get("message") or STATE_MESSAGES.get(state, ""),
                            reason=entry.get("reason") or "",
                            warnings=list(entry.get("warnings") or [])))
        if check_mode:
            changed = changed or state == "would_change"
        else:
            changed = changed or bool(entry.get("sent"))
        before = entry.get("before")
        if before is None:
            continue
        after = dict((key, entry["requested"].get(key, "")) for key in SETTING_KEYS)
        after["description"] = (after["description"] or "")[:DESCRIPTION_WIDTH]
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
    devices that would be sent. A rolled-back device fails: it does not
    have what was asked."""
    allowed = {"unchanged", "verified"}
    if not verify:
        allowed.add("acknowledged")
    if check_mode:
        allowed.add("would_change")
    return [r for r in results if r["state"] not in allowed]


def failure_message(failed):
    def why(result):
        # The reason says what went wrong; the device's own message is
        # added when it says something else (an acknowledged device that
        # then failed verification said "Setting OK").
        texts = [t for t in (result.get("reason"), result.get("message")) if t]
        if len(texts) == 2:
            return " (%s; the device said: %s)" % tuple(texts)
        return " (%s)" % texts[0] if texts else ""
    return "%d device(s) did not end as requested: %s" % (len(failed), "; ".join(
        "%s %s%s" % (r["mac"], r["state"], why(r)) for r in failed))


def device_warnings(results):
    """kavren's warnings about the listed devices (a description it cuts),
    one text each, naming the device."""
    return ["%s: %s" % (r["mac"], w) for r in results for w in r.get("warnings") or []]


def sexagesimal_mac(value):
    """The MAC that YAML 1.1 read as a base-60 integer: an unquoted
    12:34:56:07:08:09 arrives as 9783961689, which no MAC text looks
    like. None for anything else."""
    text = str(value)
    if not text.isdigit() or len(text) > 11:
        return None
    number = int(text)
    pairs = [number // 60 ** 5] + [number // 60 ** k % 60 for k in range(4, -1, -1)]
    if not 10 <= pairs[0] <= 99:
        return None
    return "-".join("%02d" % p for p in pairs)
