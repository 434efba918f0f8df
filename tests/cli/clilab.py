# SPDX-License-Identifier: GPL-3.0-or-later
"""What the command line's lab scenarios share: the isolation check, the
emulators in the lab's device namespaces with their device files and logs,
kavren runs with a state folder of their own, the checks and the run of one
scenario from its command line. Every *_lab_test.py here imports this
instead of keeping its own copy."""

import argparse
import csv
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools",
                                "lab"))
import labprocess  # noqa: E402

PASSWORD = "secret"
ADAPTER_A, ADAPTER_B = "198.18.0.1", "198.19.0.1"
FAST = ["--timeout", "0.5"]


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
        options = ["--lifetime", "90", "--log", self.path(f"log{index}.jsonl")]
        if devices is not None:
            with open(self.path(f"devices{index}.json"), "w") as f:
                json.dump(devices, f)
            options += ["--devices", self.path(f"devices{index}.json")]
        process = labprocess.start_emulator(node, self.path(f"ready{index}"),
                                            options + list(extra), emulator=self.emulator)
        self.emulators.append(process)
        return process

    def log(self, index):
        """What emulator number `index` logged, one entry per datagram."""
        return read_jsonl(self.path(f"log{index}.jsonl"))

    def logged_kinds(self, index):
        return [entry["kind"] for entry in self.log(index)]

    def wait_logged(self, index, kind, count, seconds=5.0):
        """The kinds emulator `index` logged, once `kind` is there `count`
        times or `seconds` have passed: a sender killed right after its send
        does not wait for the device to log what it received."""
        deadline = time.monotonic() + seconds
        while self.logged_kinds(index).count(kind) < count and time.monotonic() < deadline:
            time.sleep(0.05)
        return self.logged_kinds(index)

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


def read_jsonl(path):
    """One JSON value per line; nothing when the file was never written."""
    try:
        with open(path) as f:
            return [json.loads(line) for line in f if line.strip()]
    except FileNotFoundError:
        return []


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


def write_plan(lab, name, rows):
    with open(lab.path(name), "w", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(["mac", "ip", "mask", "gateway", "description", "new_password"])
        writer.writerows(rows)
    return lab.path(name)


def generated_mac(i):
    return f"02-4B-56-00-00-{i:02X}"

def _me():
    return os.path.splitext(os.path.basename(sys.argv[0]))[0]


def main(name, scenario, *options):
    """Parses --kavren and --emulator (and `options`, argparse add_argument
    keyword dicts), refuses outside the lab, then runs scenario(lab, args)
    and reports under `name`; the emulators are stopped on every way out."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--kavren", required=True)
    parser.add_argument("--emulator", required=True)
    for option in options:
        parser.add_argument(*option.pop("flags"), **option)
    args = parser.parse_args()
    labprocess.require_lab(_me())
    lab = Lab(args.kavren, args.emulator)
    try:
        scenario(lab, args)
    finally:
        lab.close()
    label = name(args) if callable(name) else name
    if Check.failures:
        sys.exit(f"{label}: {Check.failures} check(s) failed")
    print(f"{label}: passed")
