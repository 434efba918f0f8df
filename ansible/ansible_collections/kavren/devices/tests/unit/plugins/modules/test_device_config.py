# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json

import pytest

from ansible_collections.kavren.devices.plugins.modules import device_config

ENV = "KAVREN_DEVICE_PASSWORD"
MAC = "02-4B-56-00-00-01"
SETTINGS = dict(ip="10.0.0.5", mask="255.255.255.0", gateway="0.0.0.0", description="a")


def entry(state, sent=None, reason="", message="", warnings=(), **requested):
    return dict(mac=MAC, state=state, sent=sent, reason=reason, message=message, found_via="10.0.0.1",
                warnings=list(warnings), before=SETTINGS, requested=dict(SETTINGS, **requested))


def answer(*entries, **kw):
    return (kw.get("rc", 0), json.dumps(dict(devices=list(entries))), kw.get("stderr", ""))


def args(**extra):
    base = dict(password="s3cret", executable="kavren", devices=[dict(mac=MAC, ip="10.0.0.6")])
    return dict(base, **extra)


def test_real_run_arguments_environment_and_plan_file(run_module):
    result = run_module(device_config, args(
        rollback=True, health_check="ping -c1 $KAVREN_IP", audit_file="/var/a.jsonl", adapters=["10.0.0.1"],
        devices=[dict(mac=MAC, ip="10.0.0.6", sender="10.0.0.9", new_password="n3w")]),
        [answer(entry("verified", sent=dict(attempts=1), message="Setting OK", ip="10.0.0.6"))])
    call, = result["calls"]
    plan = call["cmd"][-1]
    assert call["cmd"] == ["/bin/kavren", "configure", "--json", "--adapter", "10.0.0.1", "--timeout", "2",
                           "--retries", "0", "--sender", "10.0.0.9", "--password-env", ENV, "--attempts", "3",
                           "--result-timeout", "3", "--verify", "--rollback", "--check", "ping -c1 $KAVREN_IP",
                           "--audit-file", "/var/a.jsonl", "--plan", plan]
    assert call["env"] == {ENV: "s3cret"} and "s3cret" not in " ".join(call["cmd"])
    assert call["files"][plan] == (0o600, "mac,ip,mask,gateway,description,new_password\r\n"
                                          "%s,10.0.0.6,,,,n3w\r\n" % MAC)
    assert not result["failed"] and result["changed"] and result["left"] == [] and result["results"] == [
        dict(mac=MAC, state="verified", message="Setting OK", reason="", warnings=[])]


@pytest.mark.parametrize("extra, answers, text", [
    (dict(), [(2, "", "")], "kavren configure failed with exit status 2 and no output"),
    (dict(), [(1, "Segmentation fault", "")], "its output is not the JSON expected: Segmentation fault"),
    (dict(), [answer()], "kavren configure failed"),
    (dict(), [OSError("no fork")], "raised OSError('no fork')"),
    (dict(), [answer(entry("failed", sent={}, message="Setting OK", reason="not found again"), rc=1)],
     "1 device(s) did not end as requested: %s failed (not found again; the device said: Setting OK)" % MAC),
    (dict(rollback=True), [answer(entry("rolled_back", sent={}, reason="health check failed"), rc=1)],
     "%s rolled_back (health check failed)" % MAC),
    (dict(health_check="true"), [], "health_check needs rollback"),
    (dict(executable="/nonexistent/kavren"), [], "kavren executable /nonexistent/kavren cannot be run"),
])
def test_failures_name_the_reason_and_leave_no_plan(run_module, extra, answers, text):
    result = run_module(device_config, args(**extra), answers)
    assert result["failed"] and text in result["msg"] and result["left"] == []


def test_check_mode_withholds_the_password(run_module):
    refused = dict(entry("failed", ip="10.0.0.60", reason="its address 10.0.0.50 lies outside the subnet"),
                   before=dict(SETTINGS, ip="10.0.0.50"))
    result = run_module(device_config, args(devices=[dict(mac=MAC, ip="10.0.0.60")]),
                        [answer(refused, rc=1)], check_mode=True)
    dry, = result["calls"]
    assert "--dry-run" in dry["cmd"] and "--password-env" not in dry["cmd"] and dry["env"] == {}
    assert result["failed"] and "10.0.0.50 lies outside the subnet" in result["msg"]
    result = run_module(device_config, args(broadcast=True), [answer(entry("would_change", ip="10.0.0.6"))],
                        check_mode=True, diff=True)
    assert not result["failed"] and result["changed"] and len(result["calls"]) == 1
    assert result["diff"][0]["after"]["ip"] == "10.0.0.6"


def test_update_password_on_create_leaves_a_matching_device_alone(run_module):
    other = "02-4B-56-00-00-02"
    devices = [dict(mac=MAC, new_password="n"), dict(mac=other, ip="10.0.0.7", new_password="m")]
    preview = answer(entry("unchanged"), dict(entry("would_change", ip="10.0.0.7"), mac=other))
    result = run_module(device_config, args(update_password="on_create", devices=devices),
                        [preview, answer(entry("unchanged"), dict(entry("verified", sent={}), mac=other))])
    first, second = result["calls"]
    assert "--dry-run" in first["cmd"] and ",n\r\n" not in list(first["files"].values())[0][1]
    assert list(second["files"].values())[0][1].endswith("%s,,,,,\r\n%s,10.0.0.7,,,,m\r\n" % (MAC, other))


def test_warnings_long_description_and_a_mac_that_yaml_made_a_number(run_module):
    long_text = "x" * 40
    result = run_module(device_config, args(devices=[dict(mac=9783961689, description=long_text)]),
                        [answer(entry("unchanged", warnings=["description cut to 32 bytes"], description=long_text,
                                      **{"mac": None}))], diff=True)
    assert result["warnings"] == ["MAC 12-34-56-07-08-09 was read by YAML as the number 9783961689; quote it",
                                  "%s: description cut to 32 bytes" % MAC]
    assert "12-34-56-07-08-09," in list(result["calls"][0]["files"].values())[0][1]
    assert result["diff"][0]["after"]["description"] == "x" * 32 and not result["changed"]
