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
  - Nothing is changed; the module runs the same way in check mode.
version_added: "1.0.0"
author: Kavren Utility developers
options:
  timeout:
    description:
      - Seconds to collect the replies on each adapter.
    type: float
    default: 2
  retries:
    description:
      - How many more times the request is sent within O(timeout), for lossy segments (0 to 10).
    type: int
    default: 0
extends_documentation_fragment:
  - kavren.devices.network
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
notes:
  - A host where no device answers returns an empty O(devices) list and a warning with kavren's
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
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.kavren.devices.plugins.module_utils.kavren import (
    NETWORK_OPTIONS, kavren_path, network_args, parse_devices)

ARGUMENTS = dict(NETWORK_OPTIONS, retries=dict(type="int", default=0))


def main():
    module = AnsibleModule(argument_spec=ARGUMENTS, supports_check_mode=True)
    command = [kavren_path(module), "discover", "--json"] + network_args(module.params)
    rc, stdout, stderr = module.run_command(command)
    devices = parse_devices(stdout) if rc in (0, 1) else None
    if devices is None:
        module.fail_json(msg="kavren discover failed: %s" % (stderr.strip() or "no output"),
                         rc=rc, stderr=stderr, cmd=command)
    if not devices:
        module.warn("no device answered: %s" % " ".join(stderr.split()))
    module.exit_json(changed=False, devices=devices)


if __name__ == "__main__":
    main()
