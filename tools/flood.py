#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Hostile sender for the lab: floods the utility's reply port with every
kind of datagram a stranger on the broadcast domain could send.

Runs only inside a lab of tools/lab/lab.sh (normally in a device namespace,
started with "ip netns exec $KAVREN_LAB_NODE_A"); anywhere else it refuses
before it opens a socket. Every send loop is bounded by --count and by
--seconds. Python 3 standard library only.

Nothing it sends may legitimately add a row to the utility's device list:
every datagram that is a valid device information reply carries the MAC of
one of the devices in --devices (a duplicate, to be ignored), result
messages may carry any MAC (they add no row), and everything else is
malformed. Phase 1 holds no device information reply at all, so it can run
while the genuine devices answer a discovery; phase 2, which adds the
duplicates, begins once the file named by --phase2-file exists.

  flood.py --devices FILE.json --target 198.18.0.1 --count 200000 \
           [--phase2-file PATH] [--seed N] [--seconds 60] [--end-text HEX]
           [--max-size BYTES] [--oversized-only]
  flood.py --devices FILE.json --target 198.18.0.1 --rate 1000 --seconds 1800 \
           --no-duplicates       (a trickle beside a long run)

With --rate the datagrams are paced to that many a second, and a run may
last up to an hour; --no-duplicates sends phase 1's kinds only, with result
messages from unknown MACs, so neither the genuine devices' rows nor their
configuration results are raced by forgeries.

Prints one JSON line with what was sent, by kind.
"""

import argparse
import ipaddress
import json
import os
import random
import signal
import socket
import subprocess
import sys
import time

HOST_PORT = 62631
MAGIC = b"KAVRENut"
KIND_DISCOVERY = 0x16
KIND_INFO = 0x70
KIND_RESULT = 0x30
KIND_CONFIG = 0x90
INFO_SIZE = 112
RESULT_SIZE = 48
RECEIVE_LIMIT = 1024

MAX_COUNT = 1_000_000
MAX_SECONDS = 300.0
# A paced trickle may run beside a soak run, so it gets a longer bound.
MAX_RATE = 10_000
MAX_TRICKLE_COUNT = 4_000_000
MAX_TRICKLE_SECONDS = 3900.0
PACE_SLOT = 0.01
MAX_PHASE2_WAIT = 60.0
MAX_SIZE = 9000
POOL_SIZE = 2048
# Only the lab's own ranges may be targets: the benchmarking range the lab
# uses and loopback.
ALLOWED_TARGETS = (ipaddress.IPv4Network("198.18.0.0/15"), ipaddress.IPv4Network("127.0.0.0/8"))
DEFAULT_END_TEXT = b"<b>end</b> %s%n 100%"


class NotInLab(Exception):
    """Raised when this process is not inside an isolated lab namespace."""


def lab_check(lab_sh):
    """Refuses unless KAVREN_LAB=1, the network namespace is not the
    machine's own, and "lab.sh check" agrees (no foreign link, no route out)."""
    if os.environ.get("KAVREN_LAB") != "1":
        raise NotInLab("KAVREN_LAB is not set")
    own = os.readlink("/proc/self/ns/net")
    # The machine's namespace as pid 1 sees it (unreadable in some
    # containers) and the one lab.sh started from: this must be neither.
    outside = [os.environ.get("KAVREN_LAB_OUTER_NETNS", "")]
    try:
        outside.append(os.readlink("/proc/1/ns/net"))
    except OSError:
        pass
    outside = [ns for ns in outside if ns]
    if not outside:
        raise NotInLab("cannot tell this namespace from the machine's own")
    if own in outside:
        raise NotInLab("this is the machine's own network namespace")
    if not lab_sh or not os.path.isfile(lab_sh):
        raise NotInLab("lab.sh not found (set KAVREN_LAB_SH or pass --lab-sh)")
    done = subprocess.run([lab_sh, "check"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, timeout=20, check=False)
    if done.returncode != 0:
        raise NotInLab(done.stderr.strip() or "lab.sh check failed")


def parse_mac(text):
    parts = text.replace("-", ":").split(":")
    if len(parts) != 6:
        raise ValueError(f"not a MAC: {text!r}")
    return bytes(int(p, 16) for p in parts)


def load_macs(path):
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    entries = data["devices"] if isinstance(data, dict) else data
    macs = [parse_mac(e["mac"]) for e in entries]
    if not macs:
        raise ValueError(f"{path}: no devices")
    return macs


def header(kind, mac, magic=MAGIC, terminator=0):
    return magic + bytes((terminator, kind)) + mac


def field(text, width):
    return text[:width].ljust(width, b"\0")


def info_reply(mac, name, version, description, ip=b"\xc6\x12\x00\x99"):
    body = header(KIND_INFO, mac) + b"\0" * 4 + ip + b"\xff\xff\xff\x00" + b"\xc6\x12\x00\x01"
    return body + field(name, 32) + field(version, 16) + field(description, 32)


def result_reply(mac, text):
    return header(KIND_RESULT, mac) + field(text, 32)


def hostile_texts(rng):
    """Texts that break a careless receiver: all 0xFF, markup, format
    directives, controls, no terminator."""
    return [
        b"\xff" * 32,
        b"<b>bold</b><img src=x onerror=1>",
        b"%s%s%s%n%n%x%p%d%99999999s",
        b"%" * 32,
        b"<a href='http://x/'>%s</a>\r\n\t",
        bytes(rng.randrange(1, 256) for _ in range(32)),
        b"\x80\x81\xfe\xff\x01\x7f" * 5,
        b"A" * 32,
    ]


def random_mac(rng):
    return bytes((0x0A, rng.randrange(256), rng.randrange(256),
                  rng.randrange(256), rng.randrange(256), rng.randrange(256)))


def random_bytes(rng):
    while True:
        data = rng.randbytes(rng.randrange(0, 1300))
        # Random bytes that happen to carry the header would be a reply.
        if not data.startswith(MAGIC):
            return data


def bad_headers(rng):
    """Datagrams whose header a receiver must refuse. Their MACs are new,
    so any one wrongly taken for a reply shows up as an extra row."""
    mac = random_mac(rng)
    info_tail = info_reply(mac, b"BAD", b"0", b"header")[16:]
    return [
        b"",
        MAGIC[: rng.randrange(0, 9)],
        MAGIC + b"\0",                                        # nine bytes
        header(KIND_INFO, mac, magic=b"KAVRENuT") + info_tail,  # case of the magic
        header(KIND_INFO, mac, magic=b"kavrenut") + info_tail,
        header(KIND_INFO, mac, magic=b"KAVRENut"[::-1]) + info_tail,
        header(KIND_INFO, mac, terminator=1) + info_tail,     # byte 8 not zero
        header(KIND_INFO, mac, terminator=0x70)[:8] + b"\x70\x00" + mac + info_tail,
        header(KIND_DISCOVERY, mac) + info_tail,              # a request, not a reply
        header(KIND_CONFIG, mac) + info_tail[:82],
        header(rng.choice((0x00, 0x31, 0x71, 0x6F, 0xFF)), mac) + info_tail,
        b"\0" * 112,
        b"\xff" * 112,
    ]


def oversized(rng, whole, max_size):
    """whole, padded with random bytes to more than the receiver takes."""
    size = rng.randrange(RECEIVE_LIMIT + 1, max_size + 1)
    return whole + rng.randbytes(size - len(whole))


def result_kinds(rng, macs, max_size, known_macs=True):
    """Result messages: any MAC (only unknown ones without known_macs),
    hostile texts, cut short and oversized."""
    out = []
    for text in hostile_texts(rng):
        known = known_macs and rng.random() < 0.5
        mac = rng.choice(macs) if known else random_mac(rng)
        whole = result_reply(mac, text)
        out.append(("result", whole))
        out.append(("result_truncated", whole[: rng.randrange(16, RESULT_SIZE)]))
        out.append(("result_oversized", oversized(rng, whole, max_size)))
    return out


def duplicate_kinds(rng, macs, max_size):
    """Device information replies of the listed devices with other texts:
    whole, cut short (never before the MAC is whole: a cut MAC would be a
    new device) and oversized."""
    out = []
    texts = hostile_texts(rng)
    mac = rng.choice(macs)
    name, version, description = rng.choice(texts), rng.choice(texts), rng.choice(texts)
    whole = info_reply(mac, name, version, description,
                       ip=bytes((203, 0, 113, rng.randrange(1, 255))))
    out.append(("duplicate", whole))
    out.append(("duplicate_truncated", whole[: rng.randrange(16, INFO_SIZE)]))
    out.append(("duplicate_oversized", oversized(rng, whole, max_size)))
    return out


def build_pool(rng, macs, with_duplicates, max_size, oversized_only, known_results=True):
    pool = []
    while len(pool) < POOL_SIZE:
        pool.append(("random", random_bytes(rng)))
        pool.extend(("bad_header", d) for d in bad_headers(rng))
        pool.extend(result_kinds(rng, macs, max_size, known_results))
        if with_duplicates:
            pool.extend(duplicate_kinds(rng, macs, max_size))
            pool.extend(duplicate_kinds(rng, macs, max_size))
        if oversized_only:
            pool = [p for p in pool if p[0].endswith("_oversized")]
    rng.shuffle(pool)
    return pool


def wait_for_file(path, limit, deadline):
    end = min(time.monotonic() + limit, deadline)
    while time.monotonic() < end:
        if os.path.exists(path):
            return True
        time.sleep(0.01)
    return os.path.exists(path)


# Set by SIGTERM: a trickle beside a soak run is stopped when the run ends,
# and still reports what it sent.
stopping = False


def stop(signum, frame):
    global stopping
    stopping = True


def flood(sock, target, pool, count, deadline, sent_by_kind, rate=0):
    """Sends up to count datagrams from the pool in turn; with a rate, at
    most rate * PACE_SLOT of them in each slot of PACE_SLOT seconds."""
    sent = 0
    errors = 0
    n = len(pool)
    i = 0
    per_slot = max(1, round(rate * PACE_SLOT)) if rate else 0
    slot_end = time.monotonic() + PACE_SLOT
    while sent < count and time.monotonic() < deadline and not stopping:
        if per_slot and i % per_slot == 0 and i > 0:
            pause = slot_end - time.monotonic()
            if pause > 0:
                time.sleep(pause)
            slot_end = max(slot_end + PACE_SLOT, time.monotonic())
        kind, data = pool[i % n]
        i += 1
        try:
            sock.sendto(data, (target, HOST_PORT))
        except OSError:
            errors += 1
            if errors > 1000:
                break
            continue
        sent += 1
        sent_by_kind[kind] = sent_by_kind.get(kind, 0) + 1
    return sent, errors


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--devices", required=True, help="device file whose MACs are known")
    parser.add_argument("--target", required=True, help="the utility's address (lab only)")
    parser.add_argument("--count", type=int, default=200_000)
    parser.add_argument("--seconds", type=float, default=60.0, help="time bound of the run")
    parser.add_argument("--phase2-file", help="phase 2 (with duplicates) waits for this file")
    parser.add_argument("--phase2-wait", type=float, default=20.0)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--max-size", type=int, default=1400,
                        help="largest oversized datagram, in bytes")
    parser.add_argument("--oversized-only", action="store_true",
                        help="only replies longer than the receiver takes")
    parser.add_argument("--end-text", help="hex of the closing result message's text")
    parser.add_argument("--rate", type=int, default=0,
                        help="datagrams per second (default: as fast as possible)")
    parser.add_argument("--no-duplicates", action="store_true",
                        help="no device information replies at all (phase 1 kinds only)")
    parser.add_argument("--lab-sh", default=os.environ.get("KAVREN_LAB_SH"))
    args = parser.parse_args(argv)

    try:
        lab_check(args.lab_sh)
    except NotInLab as error:
        print(f"flood.py: refusing to send: not inside the lab: {error}", file=sys.stderr)
        return 3
    try:
        target = ipaddress.IPv4Address(args.target)
    except ValueError:
        parser.error(f"--target {args.target!r} is not an IPv4 address")
    if not any(target in net for net in ALLOWED_TARGETS):
        parser.error(f"--target {target} is outside the lab's ranges")
    if not 0 <= args.rate <= MAX_RATE:
        parser.error(f"--rate takes 0 to {MAX_RATE}")
    max_count = MAX_TRICKLE_COUNT if args.rate else MAX_COUNT
    max_seconds = MAX_TRICKLE_SECONDS if args.rate else MAX_SECONDS
    if not 0 < args.count <= max_count:
        parser.error(f"--count takes 1 to {max_count}")
    if not 0 < args.seconds <= max_seconds:
        parser.error(f"--seconds takes up to {max_seconds}")
    if args.no_duplicates and args.phase2_file:
        parser.error("--no-duplicates has no phase 2")
    if not 0 <= args.phase2_wait <= MAX_PHASE2_WAIT:
        parser.error(f"--phase2-wait takes up to {MAX_PHASE2_WAIT}")
    if not 1100 <= args.max_size <= MAX_SIZE:
        parser.error(f"--max-size takes 1100 to {MAX_SIZE}")
    end_text = bytes.fromhex(args.end_text) if args.end_text else DEFAULT_END_TEXT

    macs = load_macs(args.devices)
    signal.signal(signal.SIGTERM, stop)
    rng = random.Random(args.seed)
    started = time.monotonic()
    deadline = started + args.seconds
    sent_by_kind = {}
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 1 << 20)

    first = args.count // 2 if args.phase2_file else 0
    # A trickle runs beside real configuration requests. A result message
    # naming a genuine device would be taken as that device's answer (the
    # protocol carries nothing that could tell them apart), so the trickle
    # names unknown MACs only.
    pool1 = build_pool(rng, macs, False, args.max_size, args.oversized_only,
                       known_results=not args.no_duplicates)
    if args.no_duplicates:
        first = args.count
    sent1, errors1 = flood(sock, str(target), pool1, first, deadline, sent_by_kind, args.rate)
    phase2_started = not args.no_duplicates
    if args.phase2_file:
        phase2_started = wait_for_file(args.phase2_file, args.phase2_wait, deadline)
    sent2 = errors2 = 0
    if phase2_started:
        pool2 = build_pool(rng, macs, True, args.max_size, args.oversized_only)
        sent2, errors2 = flood(sock, str(target), pool2, args.count - sent1, deadline,
                               sent_by_kind, args.rate)
    # The closing message comes after a pause, so it does not find the
    # receiver's queue full; the receiver waits for it to know the flood
    # is over.
    time.sleep(0.3)
    for _ in range(3):
        sock.sendto(result_reply(macs[0], end_text), (str(target), HOST_PORT))
        time.sleep(0.1)
    sock.close()
    print(json.dumps({
        "sent": sent1 + sent2,
        "phase1": sent1,
        "phase2": sent2,
        "phase2_started": phase2_started,
        "send_errors": errors1 + errors2,
        "seconds": round(time.monotonic() - started, 3),
        "kinds": dict(sorted(sent_by_kind.items())),
    }), flush=True)
    return 0 if phase2_started or args.no_duplicates else 4


if __name__ == "__main__":
    sys.exit(main())
