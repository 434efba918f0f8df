# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
"""What every kavren.devices module shares: what the managed host needs,
where to discover and which kavren to run."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r"""
requirements:
  - the kavren package on the managed host (C(tools/package.sh) builds it)
  - UDP port 62631 open for the devices' replies (the package's firewall profile C(kavren))
options:
  adapters:
    description:
      - IPv4 addresses of the adapters to discover on. Empty means every adapter of the host.
    type: list
    elements: str
    default: []
  executable:
    description:
      - The kavren program to run, as a name on the host's E(PATH) or a path.
    type: str
    default: kavren
"""
