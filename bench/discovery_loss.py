#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Discovery on a lossy segment: how many devices `kavren discover
--retries N` finds when each request copy and each reply is lost with
probability P, against the expected miss rate per device
(1 - (1 - P)^2)^(N + 1). Runs inside the lab:

  tools/lab/lab.sh run -- python3 bench/discovery_loss.py --kavren build/default/cli/kavren

Prints one Markdown table. The emulator's drops are seeded, so a run repeats.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools",
                                "lab"))
import labprocess  # noqa: E402


def start_emulator(folder, devices, loss, seed):
    try:
        return labprocess.start_emulator(
            "A", os.path.join(folder, f"ready-{loss}"),
            ["--generate", str(devices), "--loss", str(loss), "--seed", str(seed),
             "--lifetime", "900"])
    except RuntimeError as error:
        sys.exit(f"discovery_loss: {error}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kavren", required=True)
    parser.add_argument("--devices", type=int, default=100)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--timeout", default="1.5")
    args = parser.parse_args()
    labprocess.require_lab("discovery_loss")
    folder = tempfile.mkdtemp(dir=os.environ.get("KAVREN_LAB_DIR"))
    print(f"| loss P | retries N | expected miss per device | measured misses "
          f"({args.runs} runs x {args.devices} devices) | measured miss rate | "
          f"runs that found all |")
    print("|---|---|---|---|---|---|")
    for seed, loss in enumerate((0.1, 0.2, 0.3), start=1):
        emulator = start_emulator(folder, args.devices, loss, seed)
        try:
            for retries in (0, 1, 2, 3, 5, 7, 10):
                missed = 0
                complete = 0
                for _ in range(args.runs):
                    result = subprocess.run(
                        [args.kavren, "discover", "--json", "--adapter",
                         os.environ["KAVREN_LAB_HOST_A"], "--timeout", args.timeout,
                         "--retries", str(retries)], capture_output=True, timeout=60)
                    found = len({d["mac"] for d in json.loads(result.stdout or b"[]")})
                    missed += args.devices - found
                    complete += found == args.devices
                expected = (1 - (1 - loss) ** 2) ** (retries + 1)
                rate = missed / (args.runs * args.devices)
                print(f"| {loss:.0%} | {retries} | {expected:.2e} | {missed} | {rate:.2e} | "
                      f"{complete} of {args.runs} |", flush=True)
        finally:
            emulator.terminate()
            emulator.wait(10)
    return 0


if __name__ == "__main__":
    sys.exit(main())
