# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
"""What every kavren.devices module shares: what the managed host needs,
where to discover and which kavren to run."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r"""
requirements:
  - the C(kavren) package on the managed host (its C(.deb), or the Windows zip), or the C(kavren)
    program elsewhere, named by I(executable)
  - Python 3.6 or later on the managed host
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
      - The kavren program to run, as a name on the host's C(PATH) or a path.
    type: str
    default: kavren
"""
