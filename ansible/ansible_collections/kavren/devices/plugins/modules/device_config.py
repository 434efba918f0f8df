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
  - A device given O(devices[].new_password) is always sent and reported changed, because no
    device reply ever shows a password to compare with.
  - Every request is recorded in kavren's audit trail on the managed host
    (C($XDG_STATE_HOME/kavren/audit.jsonl)), never a password; C(kavren restore) undoes a change
    from there.
  - When the list has an error (a device not found, two devices given one address, an
    unreadable address), nothing is sent to any device of the host.
version_added: "1.0.0"
author: Kavren Utility developers
options:
  devices:
    description:
      - The devices to configure. Settings left out are kept.
    type: list
    elements: dict
    required: true
    suboptions:
      mac:
        description: MAC address, with C(-) or C(:) between the pairs, in any case.
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
      new_password:
        description:
          - A new password for the device. Never logged or returned; the device is always sent.
        type: str
  password:
    description:
      - The devices' current password. It reaches kavren in an environment variable, never on
        its command line, and never appears in results, diffs or logs.
    type: str
    required: true
  verify:
    description:
      - Discover again after the requests and require every device to report the new settings.
        Without it an acknowledged device (its result message starts with C(Setting OK)) counts
        as done.
    type: bool
    default: true
  broadcast:
    description:
      - Send the requests by broadcast instead of to each device's current address.
    type: bool
    default: false
  timeout:
    description:
      - Seconds to collect discovery replies on each adapter (also for the verification).
    type: float
    default: 2
  attempts:
    description:
      - Requests per device at most (1 to 10) when result messages are lost.
    type: int
    default: 3
extends_documentation_fragment:
  - kavren.devices.network
attributes:
  check_mode:
    support: full
    details: Discovers and checks the list like a real run, sends nothing, and reports
      C(would_change) for each device that would be sent.
  diff_mode:
    support: full
    details: Each device's settings before (as discovered) and after (as requested).
notes:
  - The task fails, naming the devices, when any device does not end C(unchanged) or
    C(verified) (C(acknowledged) too when O(verify=false)); in check mode when a device is not
    found or the list has errors.
seealso:
  - module: kavren.devices.device_info
"""

EXAMPLES = r"""
- name: Give two devices their addresses (try with --check --diff first)
  kavren.devices.device_config:
    password: "{{ vault_device_password }}"
    adapters: [192.168.10.5]
    devices:
      - mac: 02-4B-56-00-00-00
        ip: 192.168.10.20
        description: Pump house
      - mac: 02-4B-56-00-00-01
        ip: 192.168.10.21
        gateway: 192.168.10.1

- name: Change a device's password
  kavren.devices.device_config:
    password: "{{ vault_device_password }}"
    devices:
      - mac: 02-4B-56-00-00-00
        new_password: "{{ vault_new_device_password }}"
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
          C(failed), C(not_found), or in check mode C(would_change).
      type: str
    message:
      description: The device's result message, or why it failed or was not sent.
      type: str
  sample:
    - mac: 02-4B-56-00-00-00
      state: verified
      message: Setting OK
    - mac: 02-4B-56-00-00-01
      state: unchanged
      message: reports the requested settings already; nothing sent
"""

import os
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kavren.devices.plugins.module_utils.kavren import (
    NETWORK_OPTIONS, PASSWORD_ENV, SETTING_KEYS, failed_devices, failure_message, kavren_path,
    network_args, parse_run, plan_csv, run_results)

DEVICE_OPTIONS = dict(dict((key, dict(type="str")) for key in SETTING_KEYS),
                      mac=dict(type="str", required=True),
                      new_password=dict(type="str", no_log=True))
ARGUMENTS = dict(
    NETWORK_OPTIONS,
    devices=dict(type="list", elements="dict", required=True, options=DEVICE_OPTIONS),
    password=dict(type="str", required=True, no_log=True),
    verify=dict(type="bool", default=True),
    broadcast=dict(type="bool", default=False),
    attempts=dict(type="int", default=3),
)


def main():
    module = AnsibleModule(argument_spec=ARGUMENTS, supports_check_mode=True)
    params = module.params
    listed = params["devices"]
    if not listed:
        module.exit_json(changed=False, results=[])

    command = [kavren_path(module), "configure", "--json"] + network_args(params)
    if module.check_mode:
        command.append("--dry-run")
    else:
        command += ["--password-env", PASSWORD_ENV, "--attempts", str(params["attempts"])]
        if params["verify"]:
            command.append("--verify")
        if params["broadcast"]:
            command.append("--broadcast")

    # New passwords travel in the plan file: mkstemp makes it 0600, in the
    # module's private temporary folder, and it is gone before the module
    # answers.
    handle, plan = tempfile.mkstemp(prefix="kavren-plan-", suffix=".csv", dir=module.tmpdir)
    try:
        with os.fdopen(handle, "w", encoding="utf-8", newline="") as f:
            f.write(plan_csv(listed))
        rc, stdout, stderr = module.run_command(
            command + ["--plan", plan], environ_update={PASSWORD_ENV: params["password"]})
    finally:
        os.unlink(plan)

    document = parse_run(stdout, listed) if rc in (0, 1) else None
    if document is None:
        module.fail_json(msg="kavren configure failed: %s" % (stderr.strip() or "no output"),
                         rc=rc, stderr=stderr, cmd=command)
    results, diffs, changed = run_results(document, listed, module.check_mode)
    answer = dict(changed=changed, results=results)
    if module._diff:
        answer["diff"] = diffs
    failed = failed_devices(results, params["verify"], module.check_mode)
    if failed:
        module.fail_json(msg=failure_message(failed), stderr=stderr, **answer)
    module.exit_json(**answer)


if __name__ == "__main__":
    main()
