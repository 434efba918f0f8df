#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: device_info
short_description: Discover the devices on the segments of a managed host
description:
  - Runs C(kavren discover --json) on the managed host and returns every device that answered.
  - Discovery is a broadcast that routers do not forward, so each host sees the devices of the
    segments it is attached to. Run it on one host per segment or site.
  - Given an earlier list in I(previous), also returns how the devices changed since, as
    C(kavren diff) tells it.
  - Nothing is changed; the module runs the same way in check mode.
version_added: "1.0.0"
author: Kavren Utility developers (@kavren)
options:
  timeout:
    description:
      - Seconds to collect the replies on each adapter.
    type: float
    default: 2
  retries:
    description:
      - How many more times the request is sent within I(timeout), for lossy segments (0 to 10).
    type: int
    default: 0
  previous:
    description:
      - The devices of an earlier discovery of the same segments (entries of I(devices), or rows
        of the merged list of the C(discover.yml) playbook; other keys are ignored), to compare
        the new list with.
    type: list
    elements: dict
extends_documentation_fragment:
  - kavren.devices.network
attributes:
  check_mode:
    description: Can run in check mode and return changed status prediction without modifying target.
    support: full
  diff_mode:
    description: Will return details on what has changed (or possibly needs changing in check_mode).
    support: none
notes:
  - A host where no device answers returns an empty I(devices) list and a warning with kavren's
    diagnosis (adapters, firewall rules); it does not fail.
seealso:
  - module: kavren.devices.device_config
"""

EXAMPLES = r"""
- name: Discover the devices of the site
  kavren.devices.device_info:
    adapters: [192.168.10.5]
    timeout: 3
    retries: 1
  register: found

- name: Show them
  ansible.builtin.debug:
    msg: "{{ found.devices | map(attribute='mac') | list }}"

- name: Compare with last week's list
  kavren.devices.device_info:
    previous: "{{ lookup('ansible.builtin.file', 'last-week.json') | from_json }}"
  register: found
"""

RETURN = r"""
devices:
  description: The devices that answered, each once, in the order kavren lists them.
  returned: success
  type: list
  elements: dict
  contains:
    mac:
      description: MAC address, as C(00-1A-2B-3C-4D-5E).
      type: str
    name:
      description: Device name.
      type: str
    version:
      description: Firmware version.
      type: str
    ip:
      description: IPv4 address the device reports.
      type: str
    mask:
      description: Net mask.
      type: str
    gateway:
      description: Gateway.
      type: str
    description:
      description: The device's description text.
      type: str
    found_via:
      description: Address of the adapter whose request it answered.
      type: str
    sender:
      description: Address its reply came from.
      type: str
    other_senders:
      description:
        - Other addresses whose replies claimed the same MAC (usually none). Another host may be
          answering in the device's place; configure it with I(devices[].sender) of
          M(kavren.devices.device_config).
      type: list
      elements: str
    sender_is_device_ip:
      description: False when the reply came from another address than the IPv4 address it reports.
      type: bool
  sample:
    - mac: 02-4B-56-00-00-00
      name: KAVREN-000001
      version: 1.0.0
      ip: 192.168.10.129
      mask: 255.255.255.0
      gateway: 192.168.10.1
      description: Pump house
      found_via: 192.168.10.5
      sender: 192.168.10.129
      other_senders: []
      sender_is_device_ip: true
differences:
  description:
    - How the devices changed since I(previous), from C(kavren diff --json).
  returned: when previous is given and kavren could compare
  type: dict
  contains:
    new:
      description: Devices not in the earlier list.
      type: list
      elements: dict
    gone:
      description: Devices of the earlier list that did not answer.
      type: list
      elements: dict
    changed:
      description: One entry per changed field of a device, C(mac), C(field), C(old) and C(new).
      type: list
      elements: dict
    impostors:
      description: Devices whose MAC other senders newly claim, C(mac) and C(other_senders).
      type: list
      elements: dict
  sample:
    new: []
    gone: []
    changed:
      - mac: 02-4B-56-00-00-00
        field: ip
        old: 192.168.10.129
        new: 192.168.10.20
    impostors: []
rc:
  description: kavren's exit status.
  returned: on failure
  type: int
stdout:
  description: kavren's standard output.
  returned: on failure
  type: str
stderr:
  description: kavren's standard error.
  returned: on failure
  type: str
cmd:
  description: The command run.
  returned: on failure
  type: list
  elements: str
"""

import json
import os
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kavren.devices.plugins.module_utils.kavren import (
    DEVICE_KEYS, NETWORK_OPTIONS, command_failure, kavren_path, network_args, parse_devices)

ARGUMENTS = dict(NETWORK_OPTIONS, retries=dict(type="int", default=0),
                 previous=dict(type="list", elements="dict"))
# The fields of a discovery document that kavren diff compares.
DOCUMENT_KEYS = DEVICE_KEYS + ("other_senders", "sender_is_device_ip")


def differences(module, kavren, previous, current):
    """kavren diff of the earlier list and the new one, or None (with a
    warning) when it cannot tell."""
    paths = []
    try:
        for devices in (previous, current):
            handle, path = tempfile.mkstemp(prefix="kavren-list-", suffix=".json",
                                            dir=module.tmpdir)
            paths.append(path)
            with os.fdopen(handle, "w") as f:
                json.dump([dict((k, d[k]) for k in DOCUMENT_KEYS if k in d) for d in devices], f)
        rc, stdout, stderr = module.run_command([kavren, "diff"] + paths + ["--json"])
    finally:
        for path in paths:
            os.unlink(path)
    try:
        found = json.loads(stdout) if rc in (0, 1) else None
    except ValueError:
        found = None
    if not isinstance(found, dict):
        module.warn(command_failure("kavren diff", rc, stdout, stderr))
        return None
    return found


def main():
    module = AnsibleModule(argument_spec=ARGUMENTS, supports_check_mode=True)
    kavren = kavren_path(module)
    command = [kavren, "discover", "--json"] + network_args(module.params)
    rc, stdout, stderr = module.run_command(command)
    devices = parse_devices(stdout) if rc in (0, 1) else None
    if devices is None:
        module.fail_json(msg=command_failure("kavren discover", rc, stdout, stderr),
                         rc=rc, stdout=stdout, stderr=stderr, cmd=command)
    if not devices:
        module.warn("no device answered: %s" % " ".join(stderr.split()))
    answer = dict(changed=False, devices=devices)
    if module.params["previous"] is not None:
        found = differences(module, kavren, module.params["previous"], devices)
        if found is not None:
            answer["differences"] = found
    module.exit_json(**answer)


if __name__ == "__main__":
    main()
