# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
"""Options that every kavren.devices module shares: where to discover and
which kavren to run."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r"""
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
