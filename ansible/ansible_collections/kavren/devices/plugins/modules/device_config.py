#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: device_config
short_description: Make the listed devices of a managed host's segments match their settings
description:
  - Runs C(kavren configure --plan FILE --json) on the managed host, one discovery for the whole
    list, and reports per device how it ended.
  - A device whose discovered settings already match is left alone (state C(unchanged)) and is
    sent nothing, so a second run reports C(changed=false).
  - A device given I(devices[].new_password) is sent and reported changed on every run with
    I(update_password=always), because no device reply ever shows a password to compare with.
  - Every request is recorded in kavren's audit trail on the managed host
    (C($XDG_STATE_HOME/kavren/audit.jsonl), or I(audit_file)), never a password;
    C(kavren restore) undoes a change from there.
  - When the list has an error (a device not found, two devices given one address, an
    unreadable address, a MAC that two senders claim), nothing is sent to any device of the host.
version_added: "1.0.0"
author: Kavren Utility developers (@kavren)
options:
  devices:
    description:
      - The devices to configure. Settings left out are kept.
    type: list
    elements: dict
    required: true
    suboptions:
      mac:
        description:
          - MAC address, with C(-) or C(:) between the pairs, in any case. Quote it in YAML.
        type: str
        required: true
      ip:
        description: IPv4 address.
        type: str
      mask:
        description: Net mask.
        type: str
      gateway:
        description: Gateway; C(0.0.0.0) for none.
        type: str
      description:
        description:
          - Description text, at most 32 bytes on the device (a longer one is cut and warned
            about). An empty text means keep.
        type: str
      sender:
        description:
          - The address whose reply to trust when more than one sender claims this MAC (another
            host may be answering in the device's place). Its reply gives the current settings
            and the request goes where it says. Without it such a device is not sent to.
        type: str
      new_password:
        description:
          - A new password for the device. Never logged or returned.
        type: str
  password:
    description:
      - The devices' current password. It reaches kavren in an environment variable, never on
        its command line, and never appears in results, diffs or logs. Check mode does not pass
        it at all.
    type: str
    required: true
  update_password:
    description:
      - C(always) sends I(devices[].new_password) on every run.
      - C(on_create) sends it only together with a change of settings; a device that reports
        its requested settings already is taken to have the password too and is left alone, so
        a play that sets passwords is idempotent. It costs one discovery more.
    type: str
    choices: [always, on_create]
    default: always
  verify:
    description:
      - Discover again after the requests and require every device to report the new settings.
        Without it an acknowledged device (its result message starts with C(Setting OK)) counts
        as done.
    type: bool
    default: true
  rollback:
    description:
      - A device whose change does not verify is sent its previous settings, and then ends
        C(rolled_back) or C(rollback_failed); either fails the task with the reason. Implies
        I(verify).
    type: bool
    default: false
  health_check:
    description:
      - A command that kavren runs through C(/bin/sh) on the managed host after each device
        verifies, with C(KAVREN_MAC), C(KAVREN_IP), C(KAVREN_PREVIOUS_IP) and C(KAVREN_ADAPTER) in
        its environment (no password). A non-zero exit or a time-out rolls the device back.
        Needs I(rollback).
    type: str
  broadcast:
    description:
      - Send the requests by broadcast instead of to each device's current address. A device
        whose address lies outside the subnet of the adapter it was found via is reached only so,
        and without this it is not sent (check mode says so too).
    type: bool
    default: false
  timeout:
    description:
      - Seconds to collect discovery replies on each adapter (also for the verification).
    type: float
    default: 2
  retries:
    description:
      - How many more times each discovery request is sent within I(timeout), for lossy
        segments (0 to 10).
    type: int
    default: 0
  attempts:
    description:
      - Requests per device at most (1 to 10) when result messages are lost.
    type: int
    default: 3
  result_timeout:
    description:
      - Seconds to wait for a device's result message before asking again (at most 60).
    type: float
    default: 3
  audit_file:
    description:
      - The audit trail to append to on the managed host, instead of kavren's default.
    type: path
extends_documentation_fragment:
  - kavren.devices.network
attributes:
  check_mode:
    description: Can run in check mode and return changed status prediction without modifying target.
    support: full
    details: Discovers and checks the list like a real run (the broadcast rule included), sends
      nothing, and reports C(would_change) for each device that would be sent.
  diff_mode:
    description: Will return details on what has changed (or possibly needs changing in check_mode).
    support: full
    details: Each device's settings before (as discovered) and after (as requested, the
      description cut as the device cuts it).
notes:
  - The task fails, naming each device with its reason, when any device does not end
    C(unchanged) or C(verified) (C(acknowledged) too when I(verify=false)); in check mode when
    a device is not found, the list has errors, or the device would be refused.
  - kavren's warnings about a device (a description it cuts) come back as task warnings.
seealso:
  - module: kavren.devices.device_info
"""

EXAMPLES = r"""
- name: Give two devices their addresses (try with --check --diff first)
  kavren.devices.device_config:
    password: "{{ vault_device_password }}"
    adapters: [192.168.10.5]
    devices:
      - mac: "02-4B-56-00-00-00"
        ip: 192.168.10.20
        description: Pump house
      - mac: "02-4B-56-00-00-01"
        ip: 192.168.10.21
        gateway: 192.168.10.1

- name: Move a device, back out if it cannot reach its gateway afterwards
  kavren.devices.device_config:
    password: "{{ vault_device_password }}"
    rollback: true
    health_check: ping -c 1 -W 2 "$KAVREN_IP"
    devices:
      - mac: "02-4B-56-00-00-02"
        ip: 192.168.20.30
        gateway: 192.168.20.1

- name: Set a device's password once, and only once
  kavren.devices.device_config:
    password: "{{ vault_device_password }}"
    update_password: on_create
    devices:
      - mac: "02-4B-56-00-00-00"
        description: Pump house
        new_password: "{{ vault_new_device_password }}"

- name: Configure a device whose MAC another host answers for too
  kavren.devices.device_config:
    password: "{{ vault_device_password }}"
    devices:
      - mac: "02-4B-56-00-00-03"
        sender: 192.168.10.23
        description: Boiler
"""

RETURN = r"""
changed:
  description: Whether a request went to any device (in check mode, whether one would).
  returned: always
  type: bool
results:
  description: One entry per listed device, in the order listed.
  returned: when kavren ran
  type: list
  elements: dict
  contains:
    mac:
      description: The MAC address as kavren writes it.
      type: str
    state:
      description:
        - C(unchanged) (already had the settings, nothing sent), C(verified) (found again with
          the new settings), C(acknowledged) (answered C(Setting OK), not verified),
          C(rolled_back) (did not verify or failed the health check, and reports its previous
          settings again), C(rollback_failed), C(failed), C(not_found), or in check mode
          C(would_change).
      type: str
    message:
      description: The device's result message, or what the state means.
      type: str
    reason:
      description: Why the device failed, was not sent or was rolled back; empty otherwise.
      type: str
    warnings:
      description: kavren's warnings about the device, such as a description it cuts.
      type: list
      elements: str
  sample:
    - mac: 02-4B-56-00-00-00
      state: verified
      message: Setting OK
      reason: ""
      warnings: []
    - mac: 02-4B-56-00-00-01
      state: unchanged
      message: reports the requested settings already; nothing sent
      reason: ""
      warnings: []
rc:
  description: kavren's exit status.
  returned: when kavren gave no usable answer
  type: int
stdout:
  description: kavren's standard output.
  returned: when kavren gave no usable answer
  type: str
stderr:
  description: kavren's standard error (its preview and device lines).
  returned: on failure
  type: str
cmd:
  description: The command run, without the plan file.
  returned: when kavren gave no usable answer
  type: list
  elements: str
"""

import os
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kavren.devices.plugins.module_utils.kavren import (
    NETWORK_OPTIONS, PASSWORD_ENV, SETTING_KEYS, command_failure, device_warnings,
    failed_devices, failure_message, kavren_path, network_args, parse_run, plan_csv, run_results,
    sexagesimal_mac)

DEVICE_OPTIONS = dict(dict((key, dict(type="str")) for key in SETTING_KEYS),
                      mac=dict(type="str", required=True),
                      sender=dict(type="str"),
                      new_password=dict(type="str", no_log=True))
ARGUMENTS = dict(
    NETWORK_OPTIONS,
    devices=dict(type="list", elements="dict", required=True, options=DEVICE_OPTIONS),
    password=dict(type="str", required=True, no_log=True),
    update_password=dict(type="str", default="always", choices=["always", "on_create"], no_log=False),
    verify=dict(type="bool", default=True),
    rollback=dict(type="bool", default=False),
    health_check=dict(type="str"),
    broadcast=dict(type="bool", default=False),
    retries=dict(type="int", default=0),
    attempts=dict(type="int", default=3),
    result_timeout=dict(type="float", default=3.0),
    audit_file=dict(type="path"),
)


def read_macs(module, listed):
    """Each device's MAC as text, undoing YAML's reading of an unquoted
    all-digit colon MAC as a number."""
    for device in listed:
        mac = sexagesimal_mac(device["mac"])
        if mac:
            module.warn("MAC %s was read by YAML as the number %s; quote it" % (mac, device["mac"]))
            device["mac"] = mac


def base_command(module, check_mode):
    params = module.params
    command = [kavren_path(module), "configure", "--json"] + network_args(params)
    for sender in sorted(set(d["sender"] for d in params["devices"] if d.get("sender"))):
        command += ["--sender", sender]
    if check_mode:
        return command + ["--dry-run"]
    command += ["--password-env", PASSWORD_ENV, "--attempts", str(params["attempts"]),
                "--result-timeout", "%g" % params["result_timeout"]]
    for flag in ("verify", "broadcast", "rollback"):
        if params[flag]:
            command.append("--" + flag)
    if params["health_check"]:
        command += ["--check", params["health_check"]]
    if params["audit_file"]:
        command += ["--audit-file", params["audit_file"]]
    return command


def run_plan(module, command, listed):
    """Runs kavren with the plan of the listed devices; its document, or
    the task fails. New passwords travel in the plan file: mkstemp makes it
    0600 in the module's private temporary folder, and it is gone before
    the module answers, whatever happens. The current password goes in the
    environment, and only to a run that sends."""
    environ = {} if "--dry-run" in command else {PASSWORD_ENV: module.params["password"]}
    handle, plan = tempfile.mkstemp(prefix="kavren-plan-", suffix=".csv", dir=module.tmpdir)
    try:
        with os.fdopen(handle, "w", encoding="utf-8", newline="") as f:
            f.write(plan_csv(listed))
        rc, stdout, stderr = module.run_command(command + ["--plan", plan],
                                                environ_update=environ)
    finally:
        os.unlink(plan)
    document = parse_run(stdout, listed) if rc in (0, 1) else None
    if document is None:
        module.fail_json(msg=command_failure("kavren configure", rc, stdout, stderr),
                         rc=rc, stdout=stdout, stderr=stderr, cmd=command)
    return document, stderr


def keep_set_passwords(module, listed):
    """update_password=on_create: a device that reports its requested
    settings already is taken to have its password too, and is not sent
    it (one discovery more, without any password)."""
    if not any(d.get("new_password") for d in listed):
        return listed
    bare = [dict(d, new_password=None) for d in listed]
    document = run_plan(module, base_command(module, True), bare)[0]
    return [dict(d, new_password=None) if e.get("state") == "unchanged" else d
            for d, e in zip(listed, document["devices"])]


def main():
    module = AnsibleModule(argument_spec=ARGUMENTS, supports_check_mode=True)
    params = module.params
    listed = params["devices"]
    if not listed:
        module.exit_json(changed=False, results=[])
    if params["health_check"] and not params["rollback"]:
        module.fail_json(msg="health_check needs rollback: a failed check rolls the device back")
    read_macs(module, listed)
    if params["update_password"] == "on_create":
        listed = keep_set_passwords(module, listed)

    document, stderr = run_plan(module, base_command(module, module.check_mode), listed)
    results, diffs, changed = run_results(document, listed, module.check_mode)
    for warning in device_warnings(results):
        module.warn(warning)
    answer = dict(changed=changed, results=results)
    if module._diff:
        answer["diff"] = diffs
    failed = failed_devices(results, params["verify"] or params["rollback"], module.check_mode)
    if failed:
        module.fail_json(msg=failure_message(failed), stderr=stderr, **answer)
    module.exit_json(**answer)


if __name__ == "__main__":
    main()
