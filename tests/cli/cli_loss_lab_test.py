#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""`kavren discover --retries` on a lossy segment, inside a lab of
tools/lab/lab.sh: 100 emulated devices that lose each request copy and each
reply with probability 0.1, from a fixed seed so the drops repeat. One
request finds about 81 of them; with five retries every one is found (the
expected misses are 100 * 0.19^6 = 0.005 per run)."""

import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import clilab  # noqa: E402
from clilab import ADAPTER_A, Check, text  # noqa: E402

DEVICES = 100


def found(lab, retries):
    result = lab.run("discover", "--json", "--adapter", ADAPTER_A, "--timeout", "1.5",
                     "--retries", str(retries))
    return result, {d["mac"] for d in json.loads(result.stdout.decode("utf-8") or "[]")}


def lossy_discovery(lab, _args):
    lab.start("A", None, ["--generate", str(DEVICES), "--loss", "0.1", "--seed", "11"])
    once, some = found(lab, 0)
    Check.that(0 < len(some) < DEVICES, "one request on a lossy segment misses devices",
               f"{len(some)} found\n{text(once)}")
    again, every = found(lab, 5)
    Check.that(again.returncode == 0 and len(every) == DEVICES,
               "five retries find every device at 10 % loss",
               f"{len(every)} found\n{text(again)}")
    expected = {f"02-4B-56-00-00-{i:02X}" for i in range(DEVICES)}
    Check.that(every == expected, "each device listed once, by its own MAC",
               str(sorted(every ^ expected)))


def main():
    clilab.main("lossy discovery", lossy_discovery)


if __name__ == "__main__":
    main()
