#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The command line over time: `kavren discover` and `kavren configure
--verify` in turn against the emulated devices, run by tools/soak.sh inside
the lab while tools/flood.py trickles hostile datagrams at port 62631.

Each run of kavren is short, so what is watched is each run's own peak,
polled while it runs: resident memory (VmHWM of /proc/PID/status: the
kernel's accounting of the ended child would include this script's own
memory from before the exec), and the most descriptors and threads seen
(/proc/PID/fd and task). Pass: every discover lists exactly the devices,
every configure ends verified, and after the warm-up no run's peak memory
exceeds the warm-up runs' by 1 MiB or more, nor its threads theirs, nor its
descriptors theirs by more than the two short-lived sending sockets that
the polling may catch.

  cli_soak.py --kavren PATH --emulator PATH --seconds S [--devices N] [--warmup S]
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lab"))
import labprocess  # noqa: E402

ADAPTER = "198.18.0.1"
DEVICE_SUBNET = "198.18.4.0/22"  # 1,022 addresses
DEVICE_NETMASK = "255.255.252.0"
PASSWORD = "admin"  # the generated devices' password
ALLOWED_GROWTH_KIB = 1024
POLL_SECONDS = 0.005
TRANSIENT_FDS = 2
MAX_SECONDS = 3600


def peak_rss_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except (OSError, ValueError, IndexError):
        pass
    return None


def count_entries(path):
    try:
        return len(os.listdir(path))
    except OSError:
        return None


class Run:
    """One kavren process: its output, exit status and peaks."""

    def __init__(self, argv, env, timeout):
        self.argv = argv
        process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   stdin=subprocess.DEVNULL, env=env)
        self.max_fds = 0
        self.max_threads = 0
        self.peak_rss_kib = 0
        self.exe = os.path.realpath(argv[0])
        done = threading.Event()
        poller = threading.Thread(target=self._poll, args=(process.pid, done), daemon=True)
        poller.start()
        # Output is read by threads, so a full pipe never stalls the run.
        chunks = {"out": [], "err": []}
        readers = [threading.Thread(target=lambda s=s, k=k: chunks[k].append(s.read()),
                                    daemon=True)
                   for s, k in ((process.stdout, "out"), (process.stderr, "err"))]
        for r in readers:
            r.start()
        deadline = time.monotonic() + timeout
        while True:
            pid, status, _ = os.wait4(process.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() > deadline:
                process.kill()
            time.sleep(0.01)
        done.set()
        poller.join()
        for r in readers:
            r.join()
        process.returncode = os.waitstatus_to_exitcode(status)
        self.status = process.returncode
        self.out = b"".join(chunks["out"]).decode("utf-8", "replace")
        self.err = b"".join(chunks["err"]).decode("utf-8", "replace")

    def _poll(self, pid, done):
        while not done.is_set():
            # Until the exec the child is a copy of this script.
            try:
                if os.readlink(f"/proc/{pid}/exe") != self.exe:
                    done.wait(0.001)
                    continue
            except OSError:
                done.wait(0.001)
                continue
            rss = peak_rss_kib(pid)
            if rss is not None:
                self.peak_rss_kib = max(self.peak_rss_kib, rss)
            fds = count_entries(f"/proc/{pid}/fd")
            threads = count_entries(f"/proc/{pid}/task")
            if fds is not None:
                self.max_fds = max(self.max_fds, fds)
            if threads is not None:
                self.max_threads = max(self.max_threads, threads)
            done.wait(POLL_SECONDS)


def start_emulator(emulator, devices, lifetime, folder):
    """The devices, each with an address of its own: a plan that gives two
    devices one address is refused, and the lab's segment has only 126 for
    devices. Their subnet lies beside the adapter's, so they answer by
    broadcast and kavren sends to them by broadcast, which it is told to
    with --broadcast."""
    with open(os.path.join(folder, "emulator.err"), "w") as log:
        try:
            return labprocess.start_emulator(
                "A", os.path.join(folder, "emulator.ready"),
                ["--generate", str(devices), "--subnet", DEVICE_SUBNET, "--netmask",
                 DEVICE_NETMASK, "--lifetime", str(lifetime)],
                stderr=log, emulator=emulator, wait_seconds=15)
        except RuntimeError as error:
            sys.exit(f"cli_soak: {error}")


def summary(kind, runs, warm_index):
    first, warm, last = runs[0], runs[min(warm_index, len(runs) - 1)], runs[-1]
    peak = max(r.peak_rss_kib for r in runs[warm_index:] or runs)
    return (f"{kind}: {len(runs)} runs; peak rss KiB first {first.peak_rss_kib}, "
            f"after warm-up {warm.peak_rss_kib}, last {last.peak_rss_kib}, highest after "
            f"warm-up {peak}; fds {first.max_fds}/{warm.max_fds}/{last.max_fds}; "
            f"threads {first.max_threads}/{warm.max_threads}/{last.max_threads}")


def judge(kind, runs, warm_index):
    """Failures of one kind of run after the warm-up, as texts."""
    if warm_index >= len(runs):
        return [f"{kind}: no run after the warm-up"]
    warm = runs[:warm_index] or runs[:1]
    base_rss = max(r.peak_rss_kib for r in warm)
    base_fds = max(r.max_fds for r in warm)
    base_threads = max(r.max_threads for r in warm)
    problems = []
    for i, r in enumerate(runs[warm_index:], warm_index + 1):
        if r.peak_rss_kib - base_rss >= ALLOWED_GROWTH_KIB:
            problems.append(f"{kind} run {i}: peak rss {r.peak_rss_kib} KiB, warm-up "
                            f"{base_rss} KiB")
        # Each request goes out from a socket of its own, open for a moment:
        # the polling catches one or two of them now and then.
        if r.max_fds > base_fds + TRANSIENT_FDS or r.max_threads > base_threads:
            problems.append(f"{kind} run {i}: {r.max_fds} fds / {r.max_threads} threads, "
                            f"warm-up {base_fds} / {base_threads}")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kavren", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--seconds", type=int, required=True)
    parser.add_argument("--devices", type=int, default=1000)
    parser.add_argument("--warmup", type=int, default=20)
    args = parser.parse_args()
    if not 10 <= args.seconds <= MAX_SECONDS or not 0 <= args.warmup < args.seconds:
        parser.error(f"--seconds takes 10 to {MAX_SECONDS}, --warmup less than that")
    if not 1 <= args.devices <= 1022:
        parser.error("--devices takes 1 to 1022")
    labprocess.require_lab("cli_soak")

    folder = tempfile.mkdtemp(prefix="cli_soak_", dir=os.environ.get("KAVREN_LAB_DIR"))
    env = dict(os.environ, XDG_STATE_HOME=os.path.join(folder, "state"),
               KAVREN_SOAK_PW=PASSWORD)
    emulator = start_emulator(args.emulator, args.devices, args.seconds + 120, folder)
    common = ["--adapter", ADAPTER, "--timeout", "1"]
    runs = {"discover": [], "configure": []}
    warm_index = {}
    failures = []
    started = time.monotonic()
    n = 0
    try:
        while time.monotonic() - started < args.seconds:
            n += 1
            elapsed = time.monotonic() - started
            for kind in runs:
                if elapsed >= args.warmup and kind not in warm_index:
                    warm_index[kind] = len(runs[kind])
            found = Run([args.kavren, "discover", "--json", *common], env, 60)
            runs["discover"].append(found)
            try:
                macs = {d["mac"] for d in json.loads(found.out or "[]")}
            except ValueError:
                macs = set()
            if found.status != 0 or len(macs) != args.devices:
                failures.append(f"discover run {n}: status {found.status}, {len(macs)} "
                                f"devices of {args.devices}\n{found.err}")
            found.out = found.err = ""  # this script's memory stays flat too
            mac = f"02-4B-56-00-{(n % args.devices) >> 8:02X}-{(n % args.devices) & 0xFF:02X}"
            configured = Run([args.kavren, "configure", "--mac", mac, "--description",
                              f"soak cli {n}", "--password-env", "KAVREN_SOAK_PW", "--broadcast",
                              "--verify",
                              *common], env, 120)
            runs["configure"].append(configured)
            if configured.status != 0 or "1 verified" not in configured.out:
                failures.append(f"configure run {n} ({mac}): status {configured.status}\n"
                                f"{configured.out[-400:]}{configured.err[-400:]}")
            configured.out = configured.err = ""
    finally:
        emulator.terminate()
        emulator.wait(10)

    for kind, kind_runs in runs.items():
        index = warm_index.get(kind, len(kind_runs))
        print(summary(kind, kind_runs, index))
        for r in kind_runs:
            print(f"  {kind} peak_rss_kib={r.peak_rss_kib} fds={r.max_fds} "
                  f"threads={r.max_threads} status={r.status}")
        failures += judge(kind, kind_runs, index)
    for f in failures:
        print(f"FAILED: {f}")
    print(f"cli soak: {time.monotonic() - started:.0f} s, {n} rounds, "
          f"{'PASS' if not failures else 'FAIL'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
