#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The kavren command line against the device emulator, one scenario per
run, inside a two-segment lab of tools/lab/lab.sh (host kva0 198.18.0.1/24
and kvb0 198.19.0.1/24). Refuses to run anywhere else, before anything is
started that could send."""

import argparse
import csv
import io
import json
import os
import socket
import signal
import subprocess
import sys
import tempfile
import time

PASSWORD = "secret"
ADAPTER_A, ADAPTER_B = "198.18.0.1", "198.19.0.1"
FAST = ["--timeout", "0.5"]


def require_lab():
    if os.environ.get("KAVREN_LAB") != "1":
        sys.exit("cli_lab_test: KAVREN_LAB is not set; run me through tools/lab/lab.sh")
    try:
        if os.readlink("/proc/self/ns/net") == os.readlink("/proc/1/ns/net"):
            sys.exit("cli_lab_test: this is the machine's own network namespace")
    except OSError:
        pass  # init's namespace is not readable from the lab's user namespace
    links = subprocess.run(["ip", "-o", "link"], capture_output=True, text=True, check=True)
    for line in links.stdout.splitlines():
        name = line.split(":")[1].strip().split("@")[0]
        if name not in ("lo", "kva0", "kvb0"):
            sys.exit(f"cli_lab_test: foreign link {name}")


class Check:
    failures = 0

    @classmethod
    def that(cls, condition, what, detail=""):
        if not condition:
            cls.failures += 1
            print(f"FAILED: {what}\n{detail}", file=sys.stderr)


class Lab:
    def __init__(self, kavren, emulator):
        self.kavren = kavren
        self.emulator = emulator
        self.dir = tempfile.mkdtemp(prefix="cli_lab_")
        self.emulators = []
        self.env = dict(os.environ, XDG_STATE_HOME=os.path.join(self.dir, "state"),
                        KAVREN_TEST_PW=PASSWORD)

    def path(self, name):
        return os.path.join(self.dir, name)

    def start(self, node, devices=None, extra=()):
        """An emulator in device namespace A or B; returns its process."""
        index = len(self.emulators)
        ready = self.path(f"ready{index}")
        args = ["ip", "netns", "exec", os.environ[f"KAVREN_LAB_NODE_{node}"], sys.executable,
                self.emulator, "--lifetime", "90", "--ready-file", ready,
                "--log", self.path(f"log{index}.jsonl")]
        if devices is not None:
            with open(self.path(f"devices{index}.json"), "w") as f:
                json.dump(devices, f)
            args += ["--devices", self.path(f"devices{index}.json")]
        process = subprocess.Popen(args + list(extra), stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while not os.path.exists(ready):
            if time.monotonic() > deadline or process.poll() is not None:
                raise RuntimeError("emulator did not come up")
            time.sleep(0.05)
        self.emulators.append(process)
        return process

    def logged_kinds(self, index):
        try:
            with open(self.path(f"log{index}.jsonl")) as f:
                return [json.loads(line)["kind"] for line in f if line.strip()]
        except FileNotFoundError:
            return []

    def run(self, *args, timeout=60):
        return self.run_with(self.env, *args, timeout=timeout)

    def run_with(self, env, *args, timeout=60):
        return subprocess.run([self.kavren, *args], capture_output=True, env=env,
                              timeout=timeout, stdin=subprocess.DEVNULL)

    def discover_json(self, *args):
        result = self.run("discover", "--json", *FAST, *args)
        return result, {d["mac"]: d for d in json.loads(result.stdout.decode("utf-8") or "[]")}

    def close(self):
        for process in self.emulators:
            if process.poll() is None:
                process.send_signal(signal.SIGCONT)
                process.terminate()
                process.wait(5)


def device(mac, ip, **fields):
    return dict(mac=mac, ip=ip, password=PASSWORD, **fields)


def audit_changes(trail):
    """The audit trail's lines grouped by change id, in the order written."""
    changes = {}
    for line in trail.splitlines():
        entry = json.loads(line)
        changes.setdefault(entry["change"], []).append(entry)
    return changes


def text(result):
    return result.stdout.decode("utf-8", "replace") + result.stderr.decode("utf-8", "replace")


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

    # The stray device cannot be reached by unicast from kvb0: broadcast,
    # said so, and the new settings verified.
    moved = lab.run("configure", "--mac", "02-bb-00-00-00-02", "--ip", "198.19.0.150",
                    "--password-env", "KAVREN_TEST_PW", "--verify", *FAST)
    out = text(moved)
    Check.that(moved.returncode == 0, "out-of-subnet device configured", out)
    Check.that("by broadcast" in out and "outside the subnet" in out,
               "the automatic broadcast is announced", out)
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


def write_plan(lab, name, rows):
    with open(lab.path(name), "w", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(["mac", "ip", "mask", "gateway", "description", "new_password"])
        writer.writerows(rows)
    return lab.path(name)


def generated_mac(i):
    return f"02-4B-56-00-00-{i:02X}"


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
                       "KAVREN_TEST_PW", "--verify", *FAST)
    Check.that(restored.returncode == 0 and b"new password" in restored.stderr,
               "restored, and told the password stays", text(restored))
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kavren", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("scenario")
    args = parser.parse_args()
    require_lab()
    lab = Lab(args.kavren, args.emulator)
    try:
        globals()[f"scenario_{args.scenario}"](lab)
    finally:
        lab.close()
    if Check.failures:
        sys.exit(f"{args.scenario}: {Check.failures} check(s) failed")
    print(f"{args.scenario}: passed")


if __name__ == "__main__":
    main()
