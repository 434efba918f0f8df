#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The kavren command line against the device emulator, one scenario per
run, inside a two-segment lab of tools/lab/lab.sh (host kva0 198.18.0.1/24
and kvb0 198.19.0.1/24). Refuses to run anywhere else, before anything is
started that could send."""

import csv
import io
import json
import os
import signal
import socket
import subprocess
import sys
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import clilab  # noqa: E402
from clilab import (ADAPTER_A, ADAPTER_B, FAST, PASSWORD, Check,  # noqa: E402
                    audit_changes, device, generated_mac, text, write_plan)


def scenario_discover_two_segments(lab):
    lab.start("A", [device("02-AA-00-00-00-01", "198.18.0.130", name="A1"),
                    device("02-CC-00-00-00-01", "198.18.0.131", name="both")])
    # One device outside its segment's subnet, and one MAC on both segments.
    lab.start("B", [device("02-BB-00-00-00-01", "198.19.0.140", name="B1"),
                    device("02-BB-00-00-00-02", "10.9.9.9", netmask="255.255.255.0",
                           name="stray"),
                    device("02-CC-00-00-00-01", "198.19.0.141", name="both")])
    result, found = lab.discover_json()
    Check.that(result.returncode == 0, "discover exits 0 when devices answer", text(result))
    Check.that(sorted(found) == ["02-AA-00-00-00-01", "02-BB-00-00-00-01", "02-BB-00-00-00-02",
                                 "02-CC-00-00-00-01"], "merged by MAC", text(result))
    via = {mac: d["found_via"] for mac, d in found.items()}
    Check.that(via.get("02-AA-00-00-00-01") == ADAPTER_A, "A1 found via kva0", str(via))
    Check.that(via.get("02-BB-00-00-00-01") == ADAPTER_B, "B1 found via kvb0", str(via))
    Check.that(via.get("02-BB-00-00-00-02") == ADAPTER_B, "stray found via kvb0", str(via))
    Check.that(found.get("02-CC-00-00-00-01", {}).get("ip") == "198.18.0.131",
               "a MAC on both segments keeps the first adapter's reply", str(found))
    Check.that(found.get("02-BB-00-00-00-01", {}).get("sender") == "198.19.0.140",
               "sender address reported", str(found))

    only_b = lab.run("discover", "--csv", *FAST, "--adapter", ADAPTER_B)
    rows = list(csv.DictReader(io.StringIO(only_b.stdout.decode("utf-8"))))
    Check.that({r["found_via"] for r in rows} == {ADAPTER_B} and len(rows) == 3,
               "--adapter limits discovery to one adapter", text(only_b))

    # The stray device cannot be reached by unicast from kvb0. A broadcast
    # hands the password to the whole segment, so it needs --broadcast; then
    # it is said so, and the new settings verified.
    refused = lab.run("configure", "--mac", "02-bb-00-00-00-02", "--ip", "198.19.0.150",
                      "--password-env", "KAVREN_TEST_PW", *FAST)
    out = text(refused)
    Check.that(refused.returncode == 1 and "not sent" in out and "add --broadcast" in out,
               "no automatic broadcast to an out-of-subnet device", out)
    dry = lab.run("configure", "--mac", "02-bb-00-00-00-02", "--ip", "198.19.0.150", "--dry-run",
                  *FAST)
    Check.that(dry.returncode == 1 and "add --broadcast" in text(dry),
               "the dry run refuses it as the run does", text(dry))
    moved = lab.run("configure", "--mac", "02-bb-00-00-00-02", "--ip", "198.19.0.150",
                    "--password-env", "KAVREN_TEST_PW", "--broadcast", "--verify", *FAST)
    out = text(moved)
    Check.that(moved.returncode == 0, "out-of-subnet device configured", out)
    Check.that("by broadcast" in out and "outside the subnet" in out,
               "the broadcast is announced with its reason", out)
    Check.that("02-BB-00-00-00-02  verified" in out, "out-of-subnet device verified", out)


def scenario_output_texts(lab):
    name = "Caf\u00e9 \u0080\u00ff, \"q\""
    description = "a,\"b\" 100%s %d\u00e9"
    lab.start("A", [device("02-AA-00-00-00-01", "198.18.0.130", name=name,
                           version="v1,2", description=description)])
    result, found = lab.discover_json()
    d = found.get("02-AA-00-00-00-01", {})
    Check.that(d.get("name", "").encode("latin-1") == name.encode("latin-1"),
               "JSON holds the exact name bytes", repr(d))
    Check.that(d.get("description") == description and d.get("version") == "v1,2",
               "JSON holds commas, quotes and percent signs", repr(d))
    as_csv = lab.run("discover", "--csv", *FAST)
    rows = list(csv.DictReader(io.StringIO(as_csv.stdout.decode("utf-8"), newline="")))
    Check.that(len(rows) == 1 and rows[0]["name"] == name and rows[0]["description"] ==
               description and rows[0]["version"] == "v1,2", "CSV holds the exact texts",
               repr(rows))
    table = lab.run("discover", *FAST)
    Check.that(table.returncode == 0 and "\\x80" in table.stdout.decode("utf-8") and
               "100%s %d" in table.stdout.decode("utf-8"),
               "table shows control bytes escaped and percent signs literally", text(table))


def scenario_exit_statuses(lab):
    Check.that(lab.run().returncode == 2, "no command: usage error")
    Check.that(lab.run("frobnicate").returncode == 2, "unknown command: usage error")
    Check.that(lab.run("discover", "--bogus").returncode == 2, "unknown option: usage error")
    Check.that(lab.run("discover", "--timeout", "0").returncode == 2, "bad time-out")
    Check.that(lab.run("discover", "--adapter", "10.1.2.3").returncode == 2, "unknown adapter")
    Check.that(lab.run("configure", "--mac", "02-AA-00-00-00-01", "--plan", "x.csv")
               .returncode == 2, "two modes: usage error")
    helped = lab.run("configure", "--help")
    Check.that(helped.returncode == 0 and b"Exit status" in helped.stdout,
               "--help documents the exit statuses", text(helped))

    silent = lab.run("discover", *FAST)
    Check.that(silent.returncode == 1 and b"no device answered" in silent.stderr,
               "nothing answered: status 1 with a diagnosis", text(silent))
    Check.that(b"firewall-cmd --add-service=kavren" in silent.stderr
               and b"ufw allow kavren" in silent.stderr,
               "nothing answered: the firewall profiles are named", text(silent))

    holder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    holder.bind(("0.0.0.0", 62631))
    try:
        held = lab.run("discover", *FAST)
        Check.that(held.returncode == 1 and f"pid {os.getpid()}".encode() in held.stderr,
                   "a held port names the holder", text(held))
    finally:
        holder.close()

    lab.start("A", [device("02-AA-00-00-00-01", "198.18.0.130")])
    found = lab.run("discover", *FAST)
    Check.that(found.returncode == 0, "found: status 0", text(found))
    missing = lab.run("configure", "--mac", "02-AA-00-00-00-09", "--ip", "198.18.0.140",
                      "--password-env", "KAVREN_TEST_PW", *FAST)
    Check.that(missing.returncode == 1 and b"MAC address not found" in missing.stdout,
               "unknown MAC: status 1, flagged in the preview", text(missing))
    Check.that("config" not in lab.logged_kinds(0), "nothing sent for a refused plan")


def scenario_plan_preview(lab):
    lab.start("A", None, ["--generate", "50", "--password", PASSWORD])
    rows = [[generated_mac(i), f"198.18.0.{190 + i}", "", "", f"unit {i}", ""] for i in range(50)]
    rows[20][1] = rows[10][1]        # two devices given one address
    rows[30][3] = "192.168.77.1"     # a gateway outside the device's subnet
    plan = write_plan(lab, "bad.csv", rows)
    preview = lab.run("configure", "--plan", plan, "--dry-run", *FAST)
    out = preview.stdout.decode("utf-8")
    flagged = [line for line in out.splitlines() if "ERROR" in line]
    Check.that(preview.returncode == 1, "a plan with errors exits 1", text(preview))
    Check.that(len(flagged) == 2 and "also given to line 12" in flagged[0] and
               "outside the subnet" in flagged[1], "exactly the two errors are flagged", out)
    Check.that(b"2 of 50 device(s) have errors" in preview.stderr, "error count", text(preview))
    Check.that("config" not in lab.logged_kinds(0), "preview sends no configuration")

    good = write_plan(lab, "good.csv",
                      [[generated_mac(i), f"198.18.0.{190 + i}", "", "", f"unit {i}", ""]
                       for i in range(50)])
    dry = lab.run("configure", "--plan", good, "--dry-run", *FAST)
    Check.that(dry.returncode == 0 and "config" not in lab.logged_kinds(0),
               "a clean dry run exits 0 and sends nothing", text(dry))
    applied = lab.run("configure", "--plan", good, "--password-env", "KAVREN_TEST_PW",
                      "--verify", *FAST)
    Check.that(applied.returncode == 0 and
               b"50 device(s): 50 verified, 0 acknowledged, 0 failed" in applied.stdout,
               "all 50 devices verified", text(applied))


def scenario_wrong_password_and_silent(lab):
    lab.start("A", [device("02-AA-00-00-00-01", "198.18.0.130"),
                    device("02-AA-00-00-00-02", "198.18.0.131"),
                    device("02-AA-00-00-00-03", "198.18.0.132"),
                    dict(mac="02-AA-00-00-00-04", ip="198.18.0.133", password="other")])
    silent = lab.start("B", [device("02-BB-00-00-00-01", "198.19.0.140")])
    plan = write_plan(lab, "plan.csv", [
        ["02-AA-00-00-00-01", "", "", "", "one", ""],
        ["02-AA-00-00-00-02", "", "", "", "two", ""],
        ["02-AA-00-00-00-03", "", "", "", "three", ""],
        ["02-AA-00-00-00-04", "", "", "", "four", ""],
        ["02-BB-00-00-00-01", "", "", "", "five", ""]])
    # The password comes through a FIFO: kavren opens it only after the
    # discovery and the preview, which is when device B falls silent.
    fifo = lab.path("password")
    os.mkfifo(fifo)
    process = subprocess.Popen([lab.kavren, "configure", "--plan", plan, "--password-file", fifo,
                                "--verify", "--result-timeout", "1", *FAST],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=lab.env)
    with open(fifo, "w") as f:
        silent.send_signal(signal.SIGSTOP)
        f.write(PASSWORD + "\n")
    out, err = process.communicate(timeout=60)
    out, err = out.decode("utf-8"), err.decode("utf-8")
    Check.that(process.returncode == 1, "a failed device makes the run exit 1", out + err)
    for i in (1, 2, 3):
        Check.that(f"02-AA-00-00-00-0{i}  verified" in out, f"device {i} verified", out)
    Check.that('02-AA-00-00-00-04  failed: device answered "Password Error"' in out,
               "wrong password reported with the device's text", out)
    Check.that("02-BB-00-00-00-01  failed: no result message and not found again" in out,
               "silent device reported", out)
    Check.that("5 device(s): 3 verified, 0 acknowledged, 2 failed" in out, "summary line", out)
    Check.that(PASSWORD not in out + err, "the password is never shown")
    with open(os.path.join(lab.env["XDG_STATE_HOME"], "kavren", "audit.jsonl")) as f:
        audit = f.read()
    changes = audit_changes(audit)
    Check.that(len(changes) == 5 and PASSWORD not in audit,
               "every change audited, no password", audit)
    silent_lines = next((lines for lines in changes.values()
                         if lines[0]["mac"] == "02-BB-00-00-00-01"), [])
    Check.that([(e["result"], e["attempt"]) for e in silent_lines] ==
               [("sending", 1), ("sending", 2), ("sending", 3), ("failed", 3)],
               "the silent device: three attempts, each written ahead, then the failure",
               str(silent_lines))


def scenario_sequential(lab):
    macs = ["02-AA-00-00-00-05", "02-AA-00-00-00-01", "02-AA-00-00-00-03"]
    lab.start("A", [device(mac, f"198.18.0.{130 + i}") for i, mac in enumerate(macs)])
    result = lab.run("configure", "--sequential-from", "198.18.0.200", "--password-env",
                     "KAVREN_TEST_PW", "--verify", *FAST)
    Check.that(result.returncode == 0, "sequential plan applied", text(result))
    _, found = lab.discover_json()
    got = {mac: found.get(mac, {}).get("ip") for mac in macs}
    Check.that(got == {"02-AA-00-00-00-01": "198.18.0.200", "02-AA-00-00-00-03": "198.18.0.201",
                       "02-AA-00-00-00-05": "198.18.0.202"}, "consecutive in MAC order", str(got))


def scenario_restore(lab):
    lab.start("A", [device("02-AA-00-00-00-01", "198.18.0.130", gateway="198.18.0.1",
                           description="before")])
    lab.env["KAVREN_TEST_NEW_PW"] = "n3wsecret"
    changed = lab.run("configure", "--mac", "02-AA-00-00-00-01", "--ip", "198.18.0.199",
                      "--description", "after", "--new-password-env", "KAVREN_TEST_NEW_PW",
                      "--password-env", "KAVREN_TEST_PW", "--verify", *FAST)
    Check.that(changed.returncode == 0, "change applied", text(changed))
    Check.that(b"n3wsecret" not in changed.stdout + changed.stderr, "new password never shown")
    lab.env["KAVREN_TEST_PW"] = "n3wsecret"  # the device now has the new one
    restored = lab.run("restore", "--mac", "02-AA-00-00-00-01", "--password-env",
                       "KAVREN_TEST_PW", "--verify", "--json", *FAST)
    Check.that(restored.returncode == 0 and b"new password" in restored.stderr,
               "restored, and told the password stays", text(restored))
    document = json.loads(restored.stdout or b"{}")
    Check.that([d["state"] for d in document.get("devices", [])] == ["verified"] and
               document["devices"][0]["requested"]["ip"] == "198.18.0.130",
               "restore --json: standard output is the document alone", text(restored))
    # Asked for the settings it has: nothing is sent and nothing recorded.
    again = lab.run("configure", "--mac", "02-AA-00-00-00-01", "--ip", "198.18.0.130",
                    "--description", "before", "--password-env", "KAVREN_TEST_PW", *FAST)
    Check.that(again.returncode == 0 and b"unchanged" in again.stdout and
               "config" not in lab.logged_kinds(0)[-2:], "a device that matches is left alone",
               text(again))
    _, found = lab.discover_json()
    d = found.get("02-AA-00-00-00-01", {})
    Check.that(d.get("ip") == "198.18.0.130" and d.get("description") == "before",
               "settings from before the change are back", str(d))
    with open(os.path.join(lab.env["XDG_STATE_HOME"], "kavren", "audit.jsonl")) as f:
        changes = audit_changes(f.read())
    entries = [lines[0] for lines in changes.values()]
    Check.that([[e["result"] for e in lines] for lines in changes.values()] ==
               [["sending", "acknowledged", "verified"]] * 2,
               "each change: written ahead, then its outcomes", str(changes))
    Check.that(len(entries) == 2 and entries[0]["before"]["ip"] == "198.18.0.130" and
               entries[0]["after"]["ip"] == "198.18.0.199" and entries[0]["new_password"] and
               entries[0]["adapter"] == ADAPTER_A and entries[0]["destination"] ==
               "198.18.0.130", "audit entry of the change", str(entries))
    Check.that(all("n3wsecret" not in json.dumps(e) and PASSWORD not in json.dumps(e)
                   for e in entries), "no password in the audit trail")


def scenario_impostor(lab):
    """A host answering with a real device's MAC from another address of the
    segment, listed before the real device; and a host answering for a
    device from an address that is not the device's own."""
    real, impostor, relayed = "198.18.0.130", "198.18.0.140", "198.18.0.2"
    mac = "02-AA-00-00-00-01"
    lab.start("A", [dict(device(mac, impostor, name="impostor"), password="anything"),
                    device(mac, real, name="real"),
                    device("02-AA-00-00-00-02", "198.18.0.131", sender=relayed)])
    result, found = lab.discover_json()
    warnings = [line for line in result.stderr.decode().splitlines() if "warning" in line]
    Check.that(warnings == [f"kavren: warning: replies for {mac} came from {impostor} and {real}: "
                            "another host may be answering in its place"],
               "discover warns of the second sender", text(result))
    claimed, relayed_device = found.get(mac, {}), found.get("02-AA-00-00-00-02", {})
    Check.that(claimed.get("sender") == impostor and claimed.get("other_senders") == [real] and
               claimed.get("sender_is_device_ip"), "JSON names the other sender", str(claimed))
    Check.that(relayed_device.get("other_senders") == [] and
               relayed_device.get("sender_is_device_ip") is False,
               "JSON tells a reply from another address than the device's", str(relayed_device))
    as_csv = lab.run("discover", "--csv", *FAST)
    Check.that(as_csv.stdout.decode().splitlines()[0] ==
               "mac,name,version,ip,mask,gateway,description,found_via,sender",
               "the CSV keeps its columns", text(as_csv))

    refused = lab.run("configure", "--mac", mac, "--description", "moved",
                      "--password-env", "KAVREN_TEST_PW", *FAST)
    Check.that(refused.returncode == 1 and f"claimed by {impostor} and {real}".encode() in
               refused.stdout and b"--sender ADDRESS" in refused.stdout and
               b"nothing was sent" in refused.stderr, "configure refuses a claimed MAC",
               text(refused))
    Check.that("config" not in lab.logged_kinds(0), "nothing sent to either claimant")
    bad = lab.run("configure", "--mac", mac, "--sender", "nobody", *FAST)
    Check.that(bad.returncode == 2, "--sender wants an address", text(bad))

    trusted = lab.run("configure", "--mac", mac, "--description", "moved", "--sender", real,
                      "--password-env", "KAVREN_TEST_PW", "--verify", *FAST)
    Check.that(trusted.returncode == 0 and f"{mac}  verified".encode() in trusted.stdout,
               "--sender picks the real device", text(trusted))
    configs = [e for e in lab.log(0) if e["kind"] == "config"]
    Check.that([e["dst"] for e in configs] == [real], "sent to the trusted sender only",
               str(configs))
    relayed_run = lab.run("configure", "--mac", "02-AA-00-00-00-02", "--description", "x",
                          "--password-env", "KAVREN_TEST_PW", *FAST)
    Check.that(relayed_run.returncode == 0, "a device answered for is not refused",
               text(relayed_run))


def scenario_inventory(lab):
    """Two lists a day apart: one device moved, one gone, one new, one claimed."""
    lab.start("A", [device("02-AA-00-00-00-01", "198.18.0.130"),
                    device("02-AA-00-00-00-02", "198.18.0.131", name="old")])
    before = lab.run("discover", "--json", "--output", lab.path("a.json"), *FAST)
    Check.that(before.returncode == 0 and before.stdout == b"", "--output: nothing on stdout",
               text(before))
    missing = lab.run("discover", "--output", lab.path("none/x.json"), *FAST)
    Check.that(missing.returncode != 0 and b"none/x.json" in missing.stderr,
               "an unwritable --output is named", text(missing))
    lab.close()
    lab.start("A", [device("02-AA-00-00-00-01", "198.18.0.150"),
                    dict(device("02-AA-00-00-00-03", "198.18.0.132"), password="x"),
                    dict(device("02-AA-00-00-00-03", "198.18.0.140"), password="y")])
    lab.run("discover", "--json", "--output", lab.path("b.json"), *FAST)
    same = lab.run("diff", lab.path("a.json"), lab.path("a.json"))
    Check.that(same.returncode == 0 and same.stdout == b"", "diff of a list with itself: 0")
    diff = lab.run("diff", "--json", lab.path("a.json"), lab.path("b.json"))
    got = json.loads(diff.stdout or b"{}")
    Check.that(diff.returncode == 1 and [d["mac"] for d in got["new"]] == ["02-AA-00-00-00-03"]
               and [d["mac"] for d in got["gone"]] == ["02-AA-00-00-00-02"] and
               [(c["field"], c["old"], c["new"]) for c in got["changed"]] ==
               [("ip", "198.18.0.130", "198.18.0.150"), ("sender", "198.18.0.130",
                                                          "198.18.0.150")] and
               got["impostors"] == [{"mac": "02-AA-00-00-00-03",
                                     "other_senders": ["198.18.0.140"]}],
               "diff --json: new, gone, changed and impostors", text(diff))
    table = lab.run("diff", lab.path("a.json"), lab.path("b.json")).stdout.decode()
    Check.that("ip            198.18.0.130  198.18.0.150" in table, "the table: old and new", table)
    broken = lab.run("diff", lab.path("a.json"), lab.path("nothing.json"))
    Check.that(broken.returncode == 2 and b"nothing.json" in broken.stderr,
               "an unreadable file: 2, named", text(broken))


def scenario_monitoring(lab):
    """The metrics of hostile device texts pass promtool, and node_exporter
    serves them from its textfile folder on this lab's loopback."""
    lab.start("A", [device("02-AA-00-00-00-01", "198.18.0.130", name='x"} 1\nevil{a="\\'),
                    device("02-AA-00-00-00-02", "198.18.0.130", description="\u00e9\n")])
    os.mkdir(lab.path("textfiles"))
    prom = lab.path("textfiles/kavren.prom")
    wrote = lab.run("discover", "--prometheus", "--output", prom, *FAST)
    checked = subprocess.run(["promtool", "check", "metrics"], stdin=open(prom, "rb"),
                             capture_output=True)
    Check.that(wrote.returncode == 0 and checked.returncode == 0, "promtool accepts the metrics",
               text(wrote) + text(checked))
    exporter = subprocess.Popen(["prometheus-node-exporter", "--web.listen-address=127.0.0.1:19100",
                                 "--collector.disable-defaults", "--collector.textfile",
                                 "--collector.textfile.directory=" + lab.path("textfiles")],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    served = ""
    try:
        for _ in range(50):
            try:
                with urllib.request.urlopen("http://127.0.0.1:19100/metrics", timeout=1) as r:
                    served = r.read().decode("utf-8")
                break
            except OSError:
                time.sleep(0.1)
    finally:
        exporter.terminate()
        exporter.wait(5)
    Check.that('kavren_device_info{adapter="198.18.0.1",description="",gateway="0.0.0.0",'
               'ip="198.18.0.130",mac="02-AA-00-00-00-01",mask="255.255.255.0",'
               'name="x\\"} 1\\nevil{a=\\"\\\\",version=""} 1' in served and
               "kavren_address_conflicts 1" in served and
               'kavren_devices{adapter="198.18.0.1"} 2' in served, "node_exporter serves them",
               served)
    zabbix = json.loads(lab.run("discover", "--zabbix", *FAST).stdout or b"[]")
    Check.that(sorted(d["{#MAC}"] for d in zabbix) == ["02-AA-00-00-00-01", "02-AA-00-00-00-02"],
               "--zabbix: one object per device", str(zabbix))


def rollback_run(lab, plan, *extra):
    result = lab.run("configure", "--plan", plan, "--password-env", "KAVREN_TEST_PW", "--json",
                     "--result-timeout", "0.5", *FAST, *extra)
    document = json.loads(result.stdout or b"{}")
    return result, {d["mac"]: d for d in document.get("devices", [])}


def scenario_rollback_plan(lab):
    """One device takes its change, one takes nothing, one only the address."""
    macs = [generated_mac(i) for i in range(3)]
    lab.start("A", [device(macs[0], "198.18.0.130"),
                    dict(device(macs[1], "198.18.0.131"), takes="nothing"),
                    dict(device(macs[2], "198.18.0.132"), takes="ip")])
    plan = write_plan(lab, "plan.csv", [[mac, f"198.18.0.{150 + i}", "", "", "new", ""]
                                        for i, mac in enumerate(macs)])
    result, devices = rollback_run(lab, plan, "--rollback")
    states = [devices.get(mac, {}).get("state") for mac in macs]
    Check.that(result.returncode == 1 and states == ["verified", "rolled_back", "rolled_back"],
               "the change that did not hold is rolled back", text(result))
    Check.that(f"{macs[2]}  rolled back (reports its previous settings)" in text(result),
               "the device line", text(result))
    _, found = lab.discover_json()
    Check.that([found[m]["ip"] for m in macs] == ["198.18.0.150", "198.18.0.131", "198.18.0.132"]
               and found[macs[2]]["description"] == "", "previous settings back", str(found))
    with open(os.path.join(lab.env["XDG_STATE_HOME"], "kavren", "audit.jsonl")) as f:
        changes = audit_changes(f.read())
    undone = {lines[0]["undoes"]: lines for lines in changes.values() if "undoes" in lines[0]}
    Check.that(sorted(changes[c][0]["mac"] for c in undone) == macs[1:] and
               all(lines[0]["after"]["ip"] == changes[c][0]["before"]["ip"] and
                   lines[-1]["result"] == "verified" for c, lines in undone.items()),
               "each rollback is a change of its own naming the one it undoes", str(changes))
    Check.that([lines[0]["destination"] for lines in undone.values()
                if lines[0]["mac"] == macs[2]] == ["198.18.0.152"],
               "sent back where it was last seen", str(undone))


def scenario_rollback_check(lab):
    macs = [generated_mac(i) for i in range(2)]
    lab.start("A", [device(mac, f"198.18.0.{130 + i}") for i, mac in enumerate(macs)])
    plan = write_plan(lab, "plan.csv", [[mac, f"198.18.0.{150 + i}", "", "", "", ""]
                                        for i, mac in enumerate(macs)])
    seen = lab.path("seen")
    check = (f'echo "$KAVREN_MAC $KAVREN_IP $KAVREN_PREVIOUS_IP $KAVREN_ADAPTER '
             f'${{KAVREN_TEST_PW-none}}" >> {seen}; test "$KAVREN_MAC" != {macs[1]}')
    result, devices = rollback_run(lab, plan, "--rollback", "--check", check)
    Check.that(result.returncode == 1 and [devices[m]["state"] for m in macs] ==
               ["verified", "rolled_back"] and
               devices[macs[1]]["reason"] == "health check exited with status 1",
               "a failing check rolls that device back", text(result))
    with open(seen) as f:
        Check.that(f.read().splitlines() == [
            f"{macs[0]} 198.18.0.150 198.18.0.130 {ADAPTER_A} none",
            f"{macs[1]} 198.18.0.151 198.18.0.131 {ADAPTER_A} none"],
            "the check's variables, no password")
    _, found = lab.discover_json()
    Check.that([found[m]["ip"] for m in macs] == ["198.18.0.150", "198.18.0.131"],
               "only the failing device is back", str(found))
    hung = lab.run("configure", "--mac", macs[0], "--ip", "198.18.0.170", "--password-env",
                   "KAVREN_TEST_PW", "--rollback", "--check", "sleep 30", "--check-timeout",
                   "0.5", *FAST)
    Check.that(hung.returncode == 1 and b"health check failed: timed out after 0.5 s" in
               hung.stdout and b"rolled back" in hung.stdout, "a hanging check", text(hung))


def scenario_no_rollback(lab):
    mac = generated_mac(0)
    lab.start("A", [dict(device(mac, "198.18.0.130"), takes="nothing")])
    plan = write_plan(lab, "plan.csv", [[mac, "198.18.0.150", "", "", "", ""]])
    result, devices = rollback_run(lab, plan, "--verify")
    Check.that(result.returncode == 1 and devices[mac]["state"] == "failed" and
               b"rolled back" not in result.stdout + result.stderr and
               lab.logged_kinds(0).count("config") == 1,
               "without --rollback: failed, and nothing more sent", text(result))
    Check.that(lab.run("configure", "--plan", plan, "--check", "true").returncode == 2,
               "--check wants --rollback")


def main():
    clilab.main(lambda args: args.scenario,
                lambda lab, args: globals()[f"scenario_{args.scenario}"](lab),
                {"flags": ["scenario"]})


if __name__ == "__main__":
    main()
