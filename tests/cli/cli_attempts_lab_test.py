#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""`kavren configure --attempts` on a lossy segment, inside a lab of
tools/lab/lab.sh: a 50-device plan against emulated devices that lose each
request and each reply with probability 0.1 (fixed seed). Every device must
end verified, and the emulator's logs must show that no device received a
configuration request after a reply with its new settings had reached the
host: a device whose result message was lost is found by the discovery
before the next attempt instead of being configured twice."""

import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import clilab  # noqa: E402
from clilab import (PASSWORD, Check, audit_changes, generated_mac, text,  # noqa: E402
                    write_plan)

DEVICES = 50
LOSS = "0.1"


def new_ip(i):
    return f"198.18.0.{200 + i}"


def mac_of(entry):
    raw = bytes.fromhex(entry["hex"])[10:16]
    return "-".join(f"{b:02X}" for b in raw)


def main():
    clilab.main("attempts", lambda lab, args: lossy_plan(lab, args.seed),
                {"flags": ["--seed"], "default": "15", "help": "the emulator's loss seed"})


def lossy_plan(lab, seed):
    sent_log = lab.path("sent0.jsonl")
    lab.start("A", None, ["--generate", str(DEVICES), "--password", PASSWORD, "--loss", LOSS,
                          "--seed", seed, "--sent-log", sent_log])
    plan = write_plan(lab, "plan.csv", [[generated_mac(i), new_ip(i), "", "", f"unit {i}", ""]
                                        for i in range(DEVICES)])
    started = time.monotonic()
    run = lab.run("configure", "--plan", plan, "--password-env", "KAVREN_TEST_PW", "--verify",
                  "--attempts", "5", "--result-timeout", "1", "--timeout", "1.5",
                  "--retries", "5", timeout=110)
    elapsed = time.monotonic() - started
    out = run.stdout.decode("utf-8")
    Check.that(run.returncode == 0 and
               f"{DEVICES} device(s): {DEVICES} verified, 0 acknowledged, 0 failed" in out,
               "every device of the plan ends verified at 10 % loss", text(run))

    # When did each device's new settings first reach the host?
    reported = {}
    for entry in clilab.read_jsonl(sent_log):
        if entry["kind"] == "device_info" and not entry["dropped"]:
            mac = mac_of(entry)
            if entry["src"] == new_ip(int(mac[-2:], 16)):
                reported.setdefault(mac, entry["t"])
    received, requests, sends = {}, {}, {}
    discoveries = []
    for entry in lab.log(0):
        if entry["kind"] == "discovery":
            discoveries.append(entry["t"])
        if entry["kind"] != "config":
            continue
        mac = mac_of(entry)
        requests[mac] = requests.get(mac, 0) + 1
        sends.setdefault(mac, []).append(entry["t"])
        if mac.replace("-", ":") not in entry.get("dropped", []):
            received.setdefault(mac, []).append(entry["t"])
    late = {mac: times for mac, times in received.items()
            if mac in reported and any(t > reported[mac] for t in times)}
    Check.that(not late, "no device received a request after it reported its new settings",
               str(late))
    unchecked = {mac: times for mac, times in sends.items()
                 if any(not any(a < t < b for t in discoveries) for a, b in zip(times, times[1:]))}
    Check.that(not unchecked, "a discovery comes before every new attempt", str(unchecked))
    Check.that(sorted(received) == sorted(generated_mac(i) for i in range(DEVICES)),
               "every device received a request", str(sorted(received)))

    with open(os.path.join(lab.env["XDG_STATE_HOME"], "kavren", "audit.jsonl")) as f:
        changes = audit_changes(f.read())
    sendings = {lines[0]["mac"]: sum(e["result"] == "sending" for e in lines)
                for lines in changes.values()}
    Check.that(sendings == requests, "one sending line per request that left",
               f"{sendings}\n{requests}")
    attempts = [int(n) for n in re.findall(r"\(attempt (\d+)\)", out)]
    counts = sorted(requests.values())
    print(f"attempts: {DEVICES} devices at loss {LOSS} (seed {seed}): {len(attempts)} requests "
          f"sent again, highest attempt {max(attempts, default=1)}, requests per device "
          f"min {counts[0] if counts else 0} max {counts[-1] if counts else 0} "
          f"total {sum(counts)}, {len(reported)} devices reported their new settings, "
          f"run {elapsed:.1f} s")


if __name__ == "__main__":
    main()
