# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json

import pytest

from ansible_collections.kavren.devices.plugins.modules import device_info

DEVICE = dict(mac="02-4B-56-00-00-01", ip="10.0.0.5", other_senders=["10.0.0.9"], sender_is_device_ip=True)
ARGS = dict(executable="kavren", adapters=["10.0.0.1"], retries=2)


def test_discovery_arguments_and_every_field_returned(run_module):
    result = run_module(device_info, ARGS, [(0, json.dumps([DEVICE]), "")])
    assert result["calls"][0]["cmd"] == ["/bin/kavren", "discover", "--json", "--adapter", "10.0.0.1",
                                         "--timeout", "2", "--retries", "2"]
    assert not result["failed"] and result["devices"] == [DEVICE] and "differences" not in result


@pytest.mark.parametrize("answer, text", [
    ((2, "", "kavren: no adapters\n"), "kavren discover failed: kavren: no adapters"),
    ((0, "MAC Address ...", ""), "its output is not the JSON expected: MAC Address ..."),
    ((0, '{"devices": []}', ""), "kavren discover failed"),
])
def test_discovery_failures(run_module, answer, text):
    result = run_module(device_info, ARGS, [answer])
    assert result["failed"] and text in result["msg"]


@pytest.mark.parametrize("answer, differences, warned", [
    ((1, '{"new": [], "gone": [{"mac": "M"}]}', ""), {"new": [], "gone": [{"mac": "M"}]}, False),
    ((2, "", "kavren: old.json: not a discovery document\n"), None, True),
])
def test_differences_from_the_previous_list(run_module, answer, differences, warned):
    previous = [dict(DEVICE, site="north", flags="", host="h")]
    result = run_module(device_info, dict(ARGS, previous=previous), [(0, json.dumps([DEVICE]), ""), answer])
    old, new = result["calls"][1]["cmd"][2:4]
    assert result["calls"][1]["cmd"] == ["/bin/kavren", "diff", old, new, "--json"]
    assert json.loads(result["calls"][1]["files"][old][1]) == [DEVICE] and result["left"] == []
    assert result.get("differences") == differences and bool(result["warnings"]) == warned
