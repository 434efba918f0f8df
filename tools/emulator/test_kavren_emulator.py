#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Tests of the device emulator, run inside a two-segment lab:

    tools/lab/lab.sh run --segments 2 -- python3 tools/emulator/test_kavren_emulator.py

The test process plays the host in the lab's host namespace; the emulator
runs in the device namespaces. Expected packets are written out here byte
by byte from the packet layouts, not with the emulator's own helpers.
"""

import json
import os
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
EMULATOR = os.path.join(HERE, "kavren_emulator.py")
sys.path.insert(0, HERE)
import kavren_emulator  # noqa: E402  (only for the pure helpers under test)

HOST_A, HOST_B = "198.18.0.1", "198.19.0.1"
DISCOVERY = b"KAVRENut\x00\x16\xff\xff\xff\xff\xff\xff"
IP_PKTINFO = 8


LAB_SH = os.path.join(HERE, "..", "lab", "lab.sh")


def lab_check():
    """lab.sh's own isolation check; the reason text when not isolated."""
    result = subprocess.run([LAB_SH, "check"], capture_output=True, text=True)
    return None if result.returncode == 0 else result.stderr.strip()


def scrambled(password):
    """Written from the examples: 0x61 -> 0x16, 0xE9 -> 0xFE, 0x00 stays."""
    out = bytearray(16)
    for i, b in enumerate(password[:16]):
        out[i] = ((b & 0x0F) << 4) | (b >> 4) if b < 0x80 else 0xF0 | (b >> 4)
    return bytes(out)


def config_request(mac, ip, mask, gateway, description, current, new=b""):
    packet = bytearray(98)
    packet[0:8] = b"KAVRENut"
    packet[8:10] = b"\x00\x90"
    packet[10:16] = mac
    packet[20:24] = socket.inet_aton(ip)
    packet[24:28] = socket.inet_aton(mask)
    packet[28:32] = socket.inet_aton(gateway)
    packet[32:32 + len(description[:32])] = description[:32]
    packet[64:80] = scrambled(current)
    packet[80:96] = scrambled(new)
    return bytes(packet)


class Emulator:
    """The emulator in a device namespace, ready when the constructor returns."""

    def __init__(self, workdir, *options, node="A", devices=None):
        self.log = os.path.join(workdir, f"log-{time.monotonic_ns()}.jsonl")
        ready = self.log + ".ready"
        args = list(options)
        if devices is not None:
            path = self.log + ".devices.json"
            with open(path, "w") as f:
                json.dump({"devices": devices}, f)
            args += ["--devices", path]
        namespace = os.environ[f"KAVREN_LAB_NODE_{node}"]
        self.process = subprocess.Popen(
            ["ip", "netns", "exec", namespace, sys.executable, EMULATOR,
             "--log", self.log, "--ready-file", ready, "--lifetime", "20"] + args,
            stderr=subprocess.PIPE)
        deadline = time.monotonic() + 10
        while not os.path.exists(ready):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("emulator did not start: " +
                                   self.process.stderr.read().decode(errors="replace"))
            time.sleep(0.01)

    def records(self, path=None):
        with open(path or self.log) as f:
            return [json.loads(line) for line in f if line.endswith("}\n")]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
        self.process.wait(timeout=5)
        self.process.stderr.close()


class Host:
    """The host's side: port 62631 on every address, sends from one address."""

    def __init__(self):
        self.rx = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.rx.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 << 20)
        self.rx.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
        self.rx.bind(("0.0.0.0", 62631))

    def send(self, payload, destination=("255.255.255.255", 62630), source=HOST_A):
        tx = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        tx.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        tx.bind((source, 0))
        tx.sendto(payload, destination)
        tx.close()

    def receive(self, count, timeout=2.0):
        """Up to count datagrams as (bytes, sender, destination address)."""
        got = []
        deadline = time.monotonic() + timeout
        while len(got) < count:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                break
            self.rx.settimeout(remaining)
            try:
                data, ancdata, _, sender = self.rx.recvmsg(4096, socket.CMSG_SPACE(12))
            except socket.timeout:
                break
            destination = None
            for level, kind, value in ancdata:
                if level == socket.IPPROTO_IP and kind == IP_PKTINFO:
                    destination = socket.inet_ntoa(struct.unpack("i4s4s", value[:12])[2])
            got.append((data, sender, destination))
        return got

    def close(self):
        self.rx.close()


ODD_NAME = bytes(range(0x41, 0x41 + 32))                     # 32 non-zero bytes
ZERO_INSIDE = b"AB\x00CD"
HIGH_BYTES = bytes((0x80, 0xA9, 0xE9, 0xFF))
MARKUP = b"<b>%s%n&amp;</b>"

DEVICES = [
    {"mac": "02:00:00:00:00:01", "ip": "198.18.0.130", "netmask": "255.255.255.0",
     "gateway": "198.18.0.1", "name": {"hex": ODD_NAME.hex()},
     "version": {"hex": ZERO_INSIDE.hex()}, "description": MARKUP.decode("latin-1")},
    {"mac": "02-00-00-00-00-02", "ip": "198.18.0.131", "name": {"hex": HIGH_BYTES.hex()},
     "password": {"hex": "e961"}},
    # Its subnet does not hold the host's address: it answers by broadcast.
    {"mac": "02:00:00:00:00:03", "ip": "10.1.2.3", "netmask": "255.0.0.0", "name": "Foreign"},
]


class EmulatorInLab(unittest.TestCase):
    def setUp(self):
        why = lab_check()
        if why is not None:
            self.fail(f"refusing to send outside the isolated test lab ({why}); run "
                      "'tools/lab/lab.sh run --segments 2 -- python3 " + __file__ + "'")
        self.workdir = tempfile.mkdtemp(dir=os.environ.get("KAVREN_LAB_DIR"))
        self.host = Host()
        self.emulators = []

    def tearDown(self):
        for emulator in self.emulators:
            emulator.stop()
        self.host.close()

    def start(self, *options, **kw):
        emulator = Emulator(self.workdir, *options, **kw)
        self.emulators.append(emulator)
        return emulator

    def discover(self, count, timeout=2.0, **kw):
        self.host.send(DISCOVERY, **kw)
        return self.host.receive(count, timeout)

    def test_reply_bytes_from_json_devices(self):
        emulator = self.start(devices=DEVICES)
        replies = self.discover(3) + self.host.receive(1, timeout=0.3)
        self.assertEqual(len(replies), 3)
        by_mac = {data[10:16]: (data, sender, dst) for data, sender, dst in replies}

        expected = bytearray(112)
        expected[0:16] = b"KAVRENut\x00\x70" + bytes.fromhex("020000000001")
        expected[20:32] = bytes((198, 18, 0, 130, 255, 255, 255, 0, 198, 18, 0, 1))
        expected[32:64] = ODD_NAME
        expected[64:69] = ZERO_INSIDE
        expected[80:80 + len(MARKUP)] = MARKUP
        data, sender, dst = by_mac[bytes.fromhex("020000000001")]
        self.assertEqual(data.hex(), bytes(expected).hex())
        # A device in the host's subnet answers by unicast, from its own address.
        self.assertEqual(dst, HOST_A)
        self.assertEqual(sender, ("198.18.0.130", 62630))

        data, _, _ = by_mac[bytes.fromhex("020000000002")]
        self.assertEqual(data[32:36], HIGH_BYTES)
        self.assertEqual(data[24:28], bytes((255, 255, 255, 0)))  # default net mask
        self.assertEqual(data[36:112], bytes(76))

        _, _, dst = by_mac[bytes.fromhex("020000000003")]
        self.assertEqual(dst, "255.255.255.255")

        log = emulator.records()
        self.assertEqual(len(log), 1)
        self.assertEqual(log[0]["hex"], DISCOVERY.hex())
        self.assertEqual(log[0]["kind"], "discovery")
        self.assertEqual((log[0]["src"], log[0]["dst"], log[0]["dport"]),
                         (HOST_A, "255.255.255.255", 62630))

    def test_broadcast_mode_and_repeat(self):
        self.start("--generate", "4", "--reply", "broadcast", "--repeat", "3")
        replies = self.discover(12) + self.host.receive(1, timeout=0.3)
        self.assertEqual(len(replies), 12)
        self.assertTrue(all(dst == "255.255.255.255" for _, _, dst in replies))
        macs = [data[10:16] for data, _, _ in replies]
        self.assertEqual(len(set(macs)), 4)
        self.assertTrue(all(macs.count(m) == 3 for m in set(macs)))

    def test_generated_devices_are_distinct_and_in_pool(self):
        self.start("--generate", "300", "--burst")
        replies = self.discover(300)
        self.assertEqual(len(replies), 300)
        self.assertEqual(len({data[10:16] for data, _, _ in replies}), 300)
        for data, _, dst in replies:
            self.assertEqual(len(data), 112)
            self.assertEqual(data[20:23], bytes((198, 18, 0)))
            self.assertGreaterEqual(data[23], 129)
            self.assertEqual(dst, HOST_A)

    def test_jitter_spreads_replies(self):
        self.start("--generate", "20", "--jitter-ms", "400")
        started = time.monotonic()
        self.host.send(DISCOVERY)
        replies = self.host.receive(20, timeout=3)
        self.assertEqual(len(replies), 20)
        self.assertGreater(time.monotonic() - started, 0.1)

    def test_configuration_request(self):
        emulator = self.start(devices=DEVICES)
        mac1 = bytes.fromhex("020000000001")

        # Wrong password: an error text, and the settings stay.
        self.host.send(config_request(mac1, "198.18.0.140", "255.255.0.0", "198.18.0.254",
                                      b"New", b"wrong"), ("198.18.0.130", 62630))
        (reply, sender, dst), = self.host.receive(1)
        self.assertEqual(reply, b"KAVRENut\x00\x30" + mac1 + b"Password Error" + bytes(18))
        self.assertEqual(dst, HOST_A)

        # Wrong MAC: no device takes it, no answer.
        self.host.send(config_request(bytes.fromhex("020000000009"), "198.18.0.140",
                                      "255.255.0.0", "198.18.0.254", b"New", b"admin"),
                       ("198.18.0.130", 62630))
        self.assertEqual(self.host.receive(1, timeout=0.4), [])

        # Right password (the default): "Setting OK" and new settings.
        self.host.send(config_request(mac1, "198.18.0.140", "255.255.0.0", "198.18.0.254",
                                      b"100% <new>\x00junk", b"admin", b"secret"),
                       ("198.18.0.130", 62630))
        (reply, _, _), = self.host.receive(1)
        self.assertEqual(reply[16:48], b"Setting OK" + bytes(22))
        replies = {d[10:16]: d for d, _, _ in self.discover(3)}
        self.assertEqual(replies[mac1][20:32],
                         bytes((198, 18, 0, 140, 255, 255, 0, 0, 198, 18, 0, 254)))
        self.assertEqual(replies[mac1][80:112], b"100% <new>" + bytes(22))

        # The new password now counts; the old one no longer does.
        for password, answer in ((b"admin", b"Password Error"), (b"secret", b"Setting OK")):
            self.host.send(config_request(mac1, "198.18.0.140", "255.255.0.0", "198.18.0.254",
                                          b"x", password), ("255.255.255.255", 62630))
            (reply, _, _), = self.host.receive(1)
            self.assertEqual(field(reply[16:48]), answer)

        kinds = [r["kind"] for r in emulator.records()]
        self.assertEqual(kinds, ["config"] * 3 + ["discovery"] + ["config"] * 2)
        self.assertEqual(emulator.records()[0]["dst"], "198.18.0.130")

    def test_password_with_high_bytes(self):
        self.start(devices=DEVICES)
        mac2 = bytes.fromhex("020000000002")
        self.host.send(config_request(mac2, "198.18.0.131", "255.255.255.0", "0.0.0.0",
                                      b"", bytes((0xE9, 0x61))))
        (reply, _, _), = self.host.receive(1)
        self.assertEqual(field(reply[16:48]), b"Setting OK")

    def test_malformed_set_comes_first(self):
        listed = subprocess.run([sys.executable, EMULATOR, "--list-malformed"],
                                capture_output=True, check=True, text=True).stdout
        malformed = [json.loads(line) for line in listed.splitlines()]
        self.assertIn("empty", [m["name"] for m in malformed])
        self.start("--generate", "2", "--malformed")
        got = self.discover(len(malformed) + 2)
        self.assertEqual([d.hex() for d, _, _ in got[:len(malformed)]],
                         [m["hex"] for m in malformed])
        self.assertEqual([len(d) for d, _, _ in got[len(malformed):]], [112, 112])
        sizes = {m["name"]: len(m["hex"]) // 2 for m in malformed}
        self.assertEqual(sizes["empty"], 0)
        self.assertGreater(sizes["oversized"], 1024)

    def test_segments_are_apart(self):
        a = self.start("--generate", "1")
        b = self.start("--generate", "1", "--subnet", "198.19.0.128/25", node="B")
        self.host.send(DISCOVERY, source=HOST_B)
        (reply, sender, dst), = self.host.receive(1) + self.host.receive(1, timeout=0.3)
        self.assertEqual(reply[20:24], bytes((198, 19, 0, 129)))
        self.assertEqual(dst, HOST_B)
        self.assertEqual(a.records(), [])
        self.assertEqual(len(b.records()), 1)

    def test_loss_is_per_device_and_repeats_with_its_seed(self):
        def one_discovery(seed):
            sent_log = os.path.join(self.workdir, f"sent-{seed}-{time.monotonic_ns()}.jsonl")
            emulator = self.start("--generate", "200", "--loss", "0.3", "--seed", str(seed),
                                  "--sent-log", sent_log)
            got = {data[10:16].hex() for data, _, _ in self.discover(200, timeout=1.0)}
            emulator.stop()
            self.emulators.remove(emulator)
            (line,) = emulator.records()
            return got, line["dropped"], emulator.records(sent_log)

        got, dropped, sent = one_discovery(5)
        # Each device loses the request or its reply by itself: about
        # 200 * 0.7 * 0.7 answers arrive, never all, never none.
        self.assertTrue(60 < len(got) < 140, len(got))
        self.assertEqual(len(sent), 200 - len(dropped))
        self.assertEqual({r["hex"][20:32] for r in sent if not r["dropped"]}, got)
        self.assertFalse({m.replace(":", "").lower() for m in dropped} &
                         {r["hex"][20:32] for r in sent})
        self.assertTrue(all(r["kind"] == "device_info" and r["dst"] == HOST_A for r in sent))
        again, dropped_again, _ = one_discovery(5)
        self.assertEqual((again, dropped_again), (got, dropped))
        other, _, _ = one_discovery(6)
        self.assertNotEqual(other, got)

    def test_a_lost_configuration_request_changes_nothing(self):
        sent_log = os.path.join(self.workdir, "sent-config.jsonl")
        emulator = self.start("--loss", "0.5", "--seed", "3", "--sent-log", sent_log,
                              devices=DEVICES[:1])
        mac1 = bytes.fromhex("020000000001")
        answers = 0
        for i in range(12):
            self.host.send(config_request(mac1, "198.18.0.130", "255.255.255.0", "198.18.0.1",
                                          f"try {i}".encode(), b"admin"), ("198.18.0.130", 62630))
            answers += len(self.host.receive(1, timeout=0.2))
            state = [d for d, _, _ in self.discover(1, timeout=0.3) if d[10:16] == mac1]
            request = [r for r in emulator.records() if r["kind"] == "config"][-1]
            taken = request["dropped"] == []
            if not taken:
                self.assertEqual(request["dropped"], ["02:00:00:00:00:01"])
            # A discovery reply that got through shows whether the device
            # took this request: it did exactly when its copy was not lost.
            if state:
                self.assertEqual(field(state[0][80:112]) == f"try {i}".encode(), taken)
        results = [r for r in emulator.records(sent_log) if r["kind"] == "result"]
        self.assertEqual(answers, sum(not r["dropped"] for r in results))
        took = sum(r["kind"] == "config" and r["dropped"] == [] for r in emulator.records())
        self.assertEqual(len(results), took)
        self.assertTrue(0 < took < 12 and 0 < answers < took + 1, (took, answers))

    def test_lifetime_ends_the_emulator(self):
        emulator = self.start("--generate", "1", "--lifetime", "0.5")
        self.assertEqual(emulator.process.wait(timeout=3), 0)


def field(data):
    return data.split(b"\x00", 1)[0]


class PureHelpers(unittest.TestCase):
    """The emulator's own wire helpers against the documented examples."""

    def test_scramble_examples(self):
        self.assertEqual(kavren_emulator.scramble(b"abc" + bytes(13)),
                         bytes((0x16, 0x26, 0x36)) + bytes(13))
        self.assertEqual(kavren_emulator.scramble(bytes((0xE9, 0x80, 0xFF, 0x00, 0x7F))),
                         bytes((0xFE, 0xF8, 0xFF, 0x00, 0xF7)))
        every = bytes(range(256))
        self.assertEqual(kavren_emulator.scramble(every)[:16], scrambled(every[:16]))
        for start in range(0, 256, 16):
            self.assertEqual(kavren_emulator.scramble(every[start:start + 16]),
                             scrambled(every[start:start + 16]))

    def test_device_file_errors(self):
        bad = [
            ({"ip": "198.18.0.130"}, "'mac' is required"),
            ({"mac": "02:00:00:00:00", "ip": "198.18.0.130"}, "six"),
            ({"mac": "02:00:00:00:00:01", "ip": "198.18.0.300"}, "not an IPv4"),
            ({"mac": "02:00:00:00:00:01", "ip": "1.2.3.4", "name": "x" * 33}, "33 bytes"),
            ({"mac": "02:00:00:00:00:01", "ip": "1.2.3.4", "name": {"hex": "4"}}, "hex"),
            ({"mac": "02:00:00:00:00:01", "ip": "1.2.3.4", "name": "\u20ac"}, "U+00FF"),
            ({"mac": "02:00:00:00:00:01", "ip": "1.2.3.4", "colour": "red"}, "unknown keys"),
        ]
        for entry, message in bad:
            with self.subTest(entry=entry):
                with self.assertRaises(kavren_emulator.ConfigError) as caught:
                    kavren_emulator.device_from_json(entry, 0)
                self.assertIn(message, str(caught.exception))

    def test_kind_of_needs_whole_header(self):
        self.assertEqual(kavren_emulator.kind_of(DISCOVERY), "discovery")
        self.assertEqual(kavren_emulator.kind_of(DISCOVERY[:15]), "other")
        self.assertEqual(kavren_emulator.kind_of(b"KAVRENut\x01\x16" + bytes(6)), "other")
        self.assertEqual(kavren_emulator.kind_of(b"KAVRENut\x00\x90" + bytes(80)), "other")

    def test_bad_options_refused(self):
        for options in (["--generate", "1", "--lifetime", "0"],
                        ["--generate", "1", "--repeat", "0"],
                        ["--generate", "1", "--burst", "--jitter-ms", "5"],
                        ["--generate", "1", "--loss", "1.5"],
                        []):
            with self.subTest(options=options):
                result = subprocess.run([sys.executable, EMULATOR] + options,
                                        capture_output=True)
                self.assertEqual(result.returncode, 2)


if __name__ == "__main__":
    unittest.main(verbosity=2)
