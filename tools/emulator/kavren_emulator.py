#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Emulates any number of the maker's devices on UDP port 62630.

Runs inside a device namespace of the lab (tools/lab/lab.sh); see
docs/LAB.md for the options and the JSON device format. Python 3 standard
library only. The wire code here is written from the packet layouts alone
and shares nothing with the product's own packet code, so that a fault in
one shows up against the other.
"""

import argparse
import heapq
import ipaddress
import json
import os
import random
import select
import signal
import socket
import struct
import sys
import time

DEVICE_PORT = 62630
HOST_PORT = 62631
BROADCAST = "255.255.255.255"

MAGIC = b"KAVRENut"
KIND_DISCOVERY = 0x16
KIND_INFO = 0x70
KIND_RESULT = 0x30
KIND_CONFIG = 0x90
HEADER_SIZE = 16
INFO_SIZE = 112
RESULT_SIZE = 48
CONFIG_SIZE = 98
ALL_DEVICES = b"\xff" * 6

# Field offsets and widths: (offset, width).
INFO_IP, INFO_MASK, INFO_GATEWAY = (20, 4), (24, 4), (28, 4)
INFO_NAME, INFO_VERSION, INFO_DESCRIPTION = (32, 32), (64, 16), (80, 32)
RESULT_TEXT = (16, 32)
CONFIG_IP, CONFIG_MASK, CONFIG_GATEWAY = (20, 4), (24, 4), (28, 4)
CONFIG_DESCRIPTION = (32, 32)
CONFIG_CURRENT_PASSWORD, CONFIG_NEW_PASSWORD = (64, 16), (80, 16)
PASSWORD_WIDTH = 16

SETTING_OK = b"Setting OK"
PASSWORD_ERROR = b"Password Error"

IP_PKTINFO = getattr(socket, "IP_PKTINFO", 8)
IP_TRANSPARENT = getattr(socket, "IP_TRANSPARENT", 19)
SO_SNDBUFFORCE = getattr(socket, "SO_SNDBUFFORCE", 32)
SO_RCVBUFFORCE = getattr(socket, "SO_RCVBUFFORCE", 33)

# Every loop that sends is bounded by these as well as by the lifetime.
MAX_DEVICES = 1_000_000
MAX_REPEAT = 100
MAX_SENDS_PER_REQUEST = 2_000_000
MAX_LIFETIME = 3600.0
MAX_JITTER_MS = 60_000
MAX_LOSS = 0.99
SOCKET_BUFFER = 64 * 1024 * 1024
RECEIVE_SIZE = 65535


class ConfigError(Exception):
    """A device file or an option that cannot be used."""


def scramble(data):
    """The password scrambling, byte by byte: the two halves of a byte below
    0x80 swap places; a byte from 0x80 up keeps its high half as the low
    half and gets all ones above it (the sign bit is shifted in)."""
    out = bytearray()
    for b in data:
        signed = b - 256 if b >= 0x80 else b
        out.append(((b << 4) & 0xF0) | ((signed >> 4) & 0xFF))
    return bytes(out)


def padded(data, width):
    return data[:width] + b"\x00" * (width - len(data[:width]))


def field_text(data):
    """The bytes of a text field before its first zero byte."""
    zero = data.find(b"\x00")
    return data if zero < 0 else data[:zero]


def header(kind, mac):
    return MAGIC + bytes((0x00, kind)) + mac


def parse_mac(text):
    parts = text.replace("-", ":").split(":")
    if len(parts) != 6:
        raise ConfigError(f"MAC address {text!r}: six two-digit hex numbers expected")
    try:
        values = bytes(int(p, 16) for p in parts)
    except ValueError:
        raise ConfigError(f"MAC address {text!r}: not hexadecimal") from None
    if any(len(p) != 2 for p in parts):
        raise ConfigError(f"MAC address {text!r}: two digits per number expected")
    return values


def mac_text(mac):
    return ":".join(f"{b:02X}" for b in mac)


def parse_ipv4(text, what):
    try:
        return ipaddress.IPv4Address(text).packed
    except ValueError:
        raise ConfigError(f"{what} {text!r} is not an IPv4 address") from None


def parse_bytes(value, width, what):
    """A text field from JSON: a string (each character one byte, U+0000 to
    U+00FF) or {"hex": "..."} for any bytes, zeros included."""
    if isinstance(value, dict) and set(value) == {"hex"}:
        try:
            data = bytes.fromhex(value["hex"])
        except (ValueError, TypeError):
            raise ConfigError(f"{what}: {value['hex']!r} is not hexadecimal") from None
    elif isinstance(value, str):
        try:
            data = value.encode("latin-1")
        except UnicodeEncodeError:
            raise ConfigError(f"{what}: characters above U+00FF; use {{\"hex\": ...}}") from None
    else:
        raise ConfigError(f"{what}: a string or {{\"hex\": ...}} expected")
    if len(data) > width:
        raise ConfigError(f"{what}: {len(data)} bytes do not fit the {width}-byte field")
    return data


class Device:
    """One emulated device: its current settings and its reply bytes."""

    def __init__(self, mac, ip, netmask, gateway, name, version, description, password,
                 sender=None, takes="all"):
        self.mac = mac
        # What of an accepted request it keeps: "all", only the "ip", or
        # "nothing" (a faulty unit that says "Setting OK" and changes nothing).
        self.takes = takes
        self.ip = ip
        # The address its replies come from when that is not its own: a host
        # answering for it, or an impostor with another device's MAC.
        self.sender = sender
        self.netmask = netmask
        self.gateway = gateway
        self.name = name
        self.version = version
        self.description = description
        # The device keeps the scrambled form: scrambling drops the low half
        # of bytes from 0x80 up, so the clear text cannot be recovered from a
        # configuration request, only compared.
        self.scrambled_password = scramble(padded(password, PASSWORD_WIDTH))
        self._info = None

    def source(self):
        """The address its replies come from."""
        return self.sender or self.ip

    def info_reply(self):
        if self._info is None:
            packet = bytearray(INFO_SIZE)
            packet[0:HEADER_SIZE] = header(KIND_INFO, self.mac)
            for (offset, width), value in (
                (INFO_IP, self.ip),
                (INFO_MASK, self.netmask),
                (INFO_GATEWAY, self.gateway),
                (INFO_NAME, self.name),
                (INFO_VERSION, self.version),
                (INFO_DESCRIPTION, self.description),
            ):
                packet[offset:offset + width] = padded(value, width)
            self._info = bytes(packet)
        return self._info

    def result_reply(self, text):
        offset, width = RESULT_TEXT
        return header(KIND_RESULT, self.mac) + padded(text, width)

    def in_subnet_of(self, address):
        mask = int.from_bytes(self.netmask, "big")
        return (int.from_bytes(self.ip, "big") & mask) == (int.from_bytes(address, "big") & mask)

    def configure(self, request):
        """Takes the settings of a configuration request whose password was
        checked. An all-zero new password keeps the present one."""
        def field(layout):
            offset, width = layout
            return request[offset:offset + width]
        if self.takes == "nothing":
            return
        self.ip = field(CONFIG_IP)
        self._info = None
        if self.takes == "ip":
            return
        self.netmask = field(CONFIG_MASK)
        self.gateway = field(CONFIG_GATEWAY)
        self.description = field_text(field(CONFIG_DESCRIPTION))
        new_password = field(CONFIG_NEW_PASSWORD)
        if any(new_password):
            self.scrambled_password = new_password
        self._info = None


def device_from_json(entry, index):
    what = f"device {index}"
    if not isinstance(entry, dict):
        raise ConfigError(f"{what}: an object expected")
    known = {"mac", "ip", "netmask", "gateway", "name", "version", "description", "password",
             "sender", "takes"}
    unknown = set(entry) - known
    if unknown:
        raise ConfigError(f"{what}: unknown keys {sorted(unknown)}")
    for key in ("mac", "ip"):
        if key not in entry:
            raise ConfigError(f"{what}: '{key}' is required")
    return Device(
        mac=parse_mac(entry["mac"]),
        ip=parse_ipv4(entry["ip"], f"{what} ip"),
        netmask=parse_ipv4(entry.get("netmask", "255.255.255.0"), f"{what} netmask"),
        gateway=parse_ipv4(entry.get("gateway", "0.0.0.0"), f"{what} gateway"),
        name=parse_bytes(entry.get("name", ""), INFO_NAME[1], f"{what} name"),
        version=parse_bytes(entry.get("version", ""), INFO_VERSION[1], f"{what} version"),
        description=parse_bytes(entry.get("description", ""), INFO_DESCRIPTION[1],
                                f"{what} description"),
        password=parse_bytes(entry.get("password", "admin"), PASSWORD_WIDTH, f"{what} password"),
        sender=parse_ipv4(entry["sender"], f"{what} sender") if "sender" in entry else None,
        takes=parse_takes(entry.get("takes", "all"), what),
    )


def parse_takes(value, what):
    if value not in ("all", "ip", "nothing"):
        raise ConfigError(f"{what}: 'takes' is one of all, ip, nothing")
    return value


def device_to_json(device):
    """A device as an entry of the device file, texts as hex. The password
    is left out: only its scrambled form is kept, so the default applies."""
    return {
        "mac": mac_text(device.mac),
        "ip": socket.inet_ntoa(device.ip),
        "netmask": socket.inet_ntoa(device.netmask),
        "gateway": socket.inet_ntoa(device.gateway),
        "name": {"hex": device.name.hex()},
        "version": {"hex": device.version.hex()},
        "description": {"hex": device.description.hex()},
    }


def load_devices(path):
    try:
        with open(path, "rb") as f:
            document = json.load(f)
    except (OSError, ValueError) as e:
        raise ConfigError(f"{path}: {e}") from None
    entries = document.get("devices") if isinstance(document, dict) else document
    if not isinstance(entries, list):
        raise ConfigError(f"{path}: a list of devices (or {{\"devices\": [...]}}) expected")
    if len(entries) > MAX_DEVICES:
        raise ConfigError(f"{path}: more than {MAX_DEVICES} devices")
    devices = [device_from_json(e, i) for i, e in enumerate(entries)]
    # A MAC twice is an impostor: allowed when each copy has an address of
    # its own and answers from it.
    seen = {}
    for d in devices:
        for other in seen.get(d.mac, []):
            if other.ip == d.ip or other.source() == d.source():
                raise ConfigError(f"{path}: MAC {mac_text(d.mac)} appears twice")
        seen.setdefault(d.mac, []).append(d)
    return devices


def generate_devices(count, subnet, netmask, password):
    """count devices with MACs 02:4B:56:xx:xx:xx, addresses taken in turn
    from the subnet's host addresses (repeating when count is larger)."""
    if not 0 <= count <= MAX_DEVICES:
        raise ConfigError(f"--generate takes 0 to {MAX_DEVICES}")
    try:
        network = ipaddress.IPv4Network(subnet, strict=False)
    except ValueError:
        raise ConfigError(f"--subnet {subnet!r} is not an IPv4 network") from None
    hosts = list(network.hosts()) or [network.network_address]
    mask = parse_ipv4(netmask, "--netmask")
    gateway = bytes(a & b for a, b in zip(hosts[0].packed, mask))
    gateway = (int.from_bytes(gateway, "big") + 1).to_bytes(4, "big")
    devices = []
    for i in range(count):
        devices.append(Device(
            mac=bytes((0x02, 0x4B, 0x56, (i >> 16) & 0xFF, (i >> 8) & 0xFF, i & 0xFF)),
            ip=hosts[i % len(hosts)].packed,
            netmask=mask,
            gateway=gateway,
            name=f"KAVREN-{i + 1:06d}".encode(),
            version=b"1.0.0",
            description=f"Emulated device {i + 1}".encode(),
            password=password,
        ))
    return devices


def malformed_set():
    """Datagrams that a receiver must survive, sent before the replies.
    "ignore": a correct receiver drops it. "either": the receiver may drop
    it or read it (what is missing as zero, what is over as cut off)."""
    def mac(n):
        return bytes((0x02, 0xBA, 0xD0, 0x00, 0x00, n))

    def info(n, size=INFO_SIZE):
        body = bytearray(INFO_SIZE)
        body[0:HEADER_SIZE] = header(KIND_INFO, mac(n))
        body[INFO_NAME[0]:INFO_NAME[0] + 9] = b"Malformed"
        body = bytes(body)
        return (body + bytes(range(256)) * 8)[:size]

    def with_header(prefix, n):
        return prefix + mac(n) + info(n)[HEADER_SIZE:]

    return [
        ("empty", "ignore", b""),
        ("nine_bytes", "ignore", MAGIC + b"\x00"),
        ("magic_case", "ignore", with_header(b"KAVRENuT\x00\x70", 1)),
        ("magic_no_terminator", "ignore", with_header(MAGIC + b"\x01\x70", 2)),
        ("opcode_swapped", "ignore", with_header(MAGIC + b"\x70\x00", 3)),
        ("kind_discovery", "ignore", header(KIND_DISCOVERY, ALL_DEVICES)),
        ("kind_config", "ignore", header(KIND_CONFIG, mac(4)) + bytes(CONFIG_SIZE - HEADER_SIZE)),
        ("kind_unknown", "ignore", with_header(MAGIC + b"\x00\x71", 5)),
        ("header_only_info", "either", header(KIND_INFO, mac(6))[:10]),
        ("truncated_info", "either", info(7, 64)),
        ("truncated_result", "either", header(KIND_RESULT, mac(8)) + b"Trunc"),
        ("oversized", "either", info(9, 1025)),
    ]


def kind_of(data):
    """How the log names a received datagram."""
    if len(data) >= HEADER_SIZE and data[:8] == MAGIC and data[8] == 0:
        if data[9] == KIND_DISCOVERY:
            return "discovery"
        if data[9] == KIND_CONFIG and len(data) >= CONFIG_SIZE:
            return "config"
        if data[9] == KIND_INFO:
            return "device_info"
        if data[9] == KIND_RESULT:
            return "result"
    return "other"


def pktinfo(ifindex, source):
    return [(socket.IPPROTO_IP, IP_PKTINFO,
             struct.pack("i4s4s", ifindex, source, b"\x00" * 4))]


class Emulator:
    def __init__(self, args, devices):
        self.args = args
        self.devices = devices
        self.deadline = time.monotonic() + args.lifetime
        self.stopping = False
        self.scheduled = []  # heap of (time, sequence, payload, destination, ancillary)
        self.sequence = 0
        self.sent = 0
        self.send_errors = 0
        self.log = open(args.log, "a", buffering=1) if args.log else None
        self.sent_log = open(args.sent_log, "a", buffering=1) if args.sent_log else None
        self.local_sources = {}
        # The lossy segment: its own generator, so a seed repeats the same
        # drops for the same sequence of requests whatever else draws.
        self.loss = args.loss
        self.loss_rng = random.Random(args.seed)
        self.requests_dropped = 0
        self.replies_dropped = 0

        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        self.sock.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
        for force, plain in ((SO_SNDBUFFORCE, socket.SO_SNDBUF),
                             (SO_RCVBUFFORCE, socket.SO_RCVBUF)):
            try:
                self.sock.setsockopt(socket.SOL_SOCKET, force, SOCKET_BUFFER)
            except OSError:
                self.sock.setsockopt(socket.SOL_SOCKET, plain, SOCKET_BUFFER)
        # Lets a device in a foreign subnet send from its own address.
        try:
            self.sock.setsockopt(socket.IPPROTO_IP, IP_TRANSPARENT, 1)
            self.any_source = True
        except OSError:
            self.any_source = False
        self.sock.bind((args.bind, args.port))

    def source_for(self, device):
        """The device's own address as the sender when the namespace lets us
        use it (the lab makes its pool local), otherwise the kernel's choice."""
        source = device.source()
        if self.any_source:
            return source
        if source not in self.local_sources:
            probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            try:
                probe.bind((socket.inet_ntoa(source), 0))
                self.local_sources[source] = True
            except OSError:
                self.local_sources[source] = False
            finally:
                probe.close()
        return source if self.local_sources[source] else b"\x00" * 4

    def record(self, data, source, destination, dropped_by=None):
        if self.log is None:
            return
        # With --loss each line names the devices whose copy of the datagram
        # was lost on the way: they never saw it.
        dropped = "" if dropped_by is None else ',"dropped":[%s]' % ",".join(
            '"%s"' % mac_text(mac) for mac in dropped_by)
        self.log.write(
            '{"t":%.6f,"src":"%s","sport":%d,"dst":"%s","dport":%d,"len":%d,"kind":"%s","hex":"%s"%s}\n'
            % (time.time(), source[0], source[1], destination, self.args.port, len(data),
               kind_of(data), data.hex(), dropped))

    def lost(self):
        """One datagram's fate on the lossy segment: True when it is dropped."""
        return self.loss > 0 and self.loss_rng.random() < self.loss

    def send_reply(self, payload, destination, ancillary, source):
        """A device's reply from address `source` (dotted): lost with the
        segment's probability, and logged with --sent-log either way."""
        dropped = self.lost()
        if self.sent_log is not None:
            self.sent_log.write(
                '{"t":%.6f,"src":"%s","sport":%d,"dst":"%s","dport":%d,"len":%d,"kind":"%s",'
                '"hex":"%s","dropped":%s}\n'
                % (time.time(), source, self.args.port, destination[0], destination[1],
                   len(payload), kind_of(payload), payload.hex(), "true" if dropped else "false"))
        if dropped:
            self.replies_dropped += 1
            return
        self.send(payload, destination, ancillary)

    def send(self, payload, destination, ancillary):
        try:
            self.sock.sendmsg([payload], ancillary, 0, destination)
            self.sent += 1
        except OSError:
            self.send_errors += 1

    def destination_for(self, device, requester, ifindex):
        if self.args.reply == "broadcast" or not device.in_subnet_of(requester):
            return (BROADCAST, HOST_PORT), pktinfo(ifindex, self.source_for(device))
        return (socket.inet_ntoa(requester), HOST_PORT), pktinfo(0, self.source_for(device))

    def answer_discovery(self, data, requester, ifindex):
        """Plans the answer to one discovery request; returns the MACs of the
        addressed devices whose copy of the request was lost."""
        target = data[10:16]
        devices = [d for d in self.devices if target in (ALL_DEVICES, d.mac)]
        # Every device hears a broadcast on its own: each copy is lost or
        # not by itself, before any reply is planned.
        dropped = [d for d in devices if self.lost()]
        if dropped:
            self.requests_dropped += len(dropped)
            gone = {d.mac for d in dropped}
            devices = [d for d in devices if d.mac not in gone]
        plan = []  # (payload, destination, ancillary, source of a device reply or None)
        if self.args.malformed:
            dest = ((BROADCAST, HOST_PORT), pktinfo(ifindex, b"\x00" * 4)) \
                if self.args.reply == "broadcast" else \
                ((socket.inet_ntoa(requester), HOST_PORT), [])
            plan.extend((payload,) + dest + (None,) for _, _, payload in malformed_set())
        routes = [(d.info_reply(),) + self.destination_for(d, requester, ifindex) +
                  (socket.inet_ntoa(d.source()),) for d in devices]
        for _ in range(self.args.repeat):
            plan.extend(routes)
        del plan[MAX_SENDS_PER_REQUEST:]

        if self.args.jitter_ms <= 0:
            started = time.monotonic()
            sent_before, errors_before = self.sent, self.send_errors
            for i, entry in enumerate(plan):
                if i % 1024 == 0 and (self.stopping or time.monotonic() >= self.deadline):
                    break
                self.dispatch(entry)
            elapsed = time.monotonic() - started
            count = self.sent - sent_before
            print(f"kavren_emulator: answered discovery from {socket.inet_ntoa(requester)}: "
                  f"{count} datagrams in {elapsed:.3f} s "
                  f"({count / elapsed if elapsed > 0 else 0:.0f}/s), "
                  f"{self.send_errors - errors_before} send errors", file=sys.stderr)
            return [d.mac for d in dropped]
        now = time.monotonic()
        spread = self.args.jitter_ms / 1000.0
        for entry in plan:
            self.sequence += 1
            heapq.heappush(self.scheduled, (now + random.uniform(0, spread), self.sequence, entry))
        return [d.mac for d in dropped]

    def dispatch(self, entry):
        payload, destination, ancillary, source = entry
        if source is None:
            self.send(payload, destination, ancillary)
        else:
            self.send_reply(payload, destination, ancillary, source)

    def answer_config(self, data, requester, local, ifindex):
        """Lets the addressed device with the request's MAC take it; returns
        [its MAC] when the request was lost on the way to it, else []."""
        target = data[10:16]
        addressed = local in (None, socket.inet_aton(BROADCAST)) or \
            not any(d.ip == local for d in self.devices)
        for device in self.devices:
            if device.mac != target or not (addressed or device.ip == local):
                continue
            if self.lost():
                self.requests_dropped += 1
                return [device.mac]
            offset, width = CONFIG_CURRENT_PASSWORD
            good = data[offset:offset + width] == device.scrambled_password
            # The answer goes out with the settings the request arrived under.
            destination, ancillary = self.destination_for(device, requester, ifindex)
            source = socket.inet_ntoa(device.source())
            reply = device.result_reply(SETTING_OK if good else PASSWORD_ERROR)
            if good:
                device.configure(data)
            self.send_reply(reply, destination, ancillary, source)
            return []
        return []

    def handle(self, data, source, local, ifindex):
        destination = socket.inet_ntoa(local) if local else ""
        if self.loss <= 0:
            self.record(data, source, destination)
        kind = kind_of(data)
        requester = socket.inet_aton(source[0])
        dropped = []
        if kind == "discovery":
            dropped = self.answer_discovery(data, requester, ifindex)
        elif kind == "config":
            dropped = self.answer_config(data, requester, local, ifindex)
        # On a lossy segment the line comes after the handling, so that it
        # can name the devices that lost the datagram.
        if self.loss > 0:
            self.record(data, source, destination, dropped)

    def receive_one(self):
        data, ancdata, _, source = self.sock.recvmsg(RECEIVE_SIZE, socket.CMSG_SPACE(12))
        local, ifindex = None, 0
        for level, kind, value in ancdata:
            if level == socket.IPPROTO_IP and kind == IP_PKTINFO and len(value) >= 12:
                ifindex, _, local = struct.unpack("i4s4s", value[:12])
        self.handle(data, source, local, ifindex)

    def run(self):
        while not self.stopping:
            now = time.monotonic()
            if now >= self.deadline:
                break
            while self.scheduled and self.scheduled[0][0] <= now:
                self.dispatch(heapq.heappop(self.scheduled)[2])
            wait = self.deadline - now
            if self.scheduled:
                wait = min(wait, max(0.0, self.scheduled[0][0] - now))
            try:
                readable, _, _ = select.select([self.sock], [], [], min(wait, 0.5))
            except InterruptedError:
                continue
            if readable:
                self.receive_one()
        self.sock.close()
        if self.loss > 0:
            print(f"kavren_emulator: lost {self.requests_dropped} request copies and "
                  f"{self.replies_dropped} replies (loss {self.loss}, seed {self.args.seed})",
                  file=sys.stderr)
        for log in (self.log, self.sent_log):
            if log:
                log.close()


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    source = p.add_mutually_exclusive_group()
    source.add_argument("--devices", metavar="FILE.json", help="devices from a JSON file")
    source.add_argument("--generate", type=int, metavar="N", help="generate N devices")
    p.add_argument("--subnet", default="198.18.0.128/25",
                   help="address pool of generated devices (default %(default)s)")
    p.add_argument("--netmask", default="255.255.255.0",
                   help="net mask of generated devices (default %(default)s)")
    p.add_argument("--password", default="admin", help="password of generated devices")
    p.add_argument("--reply", choices=("unicast", "broadcast"), default="unicast")
    pace = p.add_mutually_exclusive_group()
    pace.add_argument("--burst", action="store_true", help="send replies as fast as possible")
    pace.add_argument("--jitter-ms", type=int, default=0, metavar="N",
                      help="spread each reply over a random 0..N ms delay")
    p.add_argument("--repeat", type=int, default=1, metavar="K", help="send every reply K times")
    p.add_argument("--malformed", action="store_true",
                   help="send the malformed set before the replies")
    p.add_argument("--list-malformed", action="store_true",
                   help="print the malformed set as JSON lines and exit")
    p.add_argument("--log", metavar="FILE.jsonl", help="log every received datagram")
    p.add_argument("--sent-log", metavar="FILE.jsonl",
                   help="log every device reply, sent or lost")
    p.add_argument("--loss", type=float, default=0.0, metavar="P",
                   help="drop each request copy and each reply with probability P")
    p.add_argument("--seed", type=int, default=1, metavar="N",
                   help="seed of the drops (default %(default)s): the same seed and "
                        "requests give the same drops")
    p.add_argument("--list-devices", action="store_true",
                   help="print the devices as a device file and exit")
    p.add_argument("--ready-file", metavar="PATH", help="written once the port is bound")
    p.add_argument("--lifetime", type=float, default=60.0, metavar="SECONDS")
    p.add_argument("--bind", default="0.0.0.0", metavar="ADDR")
    p.add_argument("--port", type=int, default=DEVICE_PORT, help=argparse.SUPPRESS)
    args = p.parse_args(argv)
    if not 0 < args.lifetime <= MAX_LIFETIME:
        p.error(f"--lifetime must be above 0 and at most {MAX_LIFETIME:.0f}")
    if not 1 <= args.repeat <= MAX_REPEAT:
        p.error(f"--repeat takes 1 to {MAX_REPEAT}")
    if not 0 <= args.jitter_ms <= MAX_JITTER_MS:
        p.error(f"--jitter-ms takes 0 to {MAX_JITTER_MS}")
    if not 0 <= args.loss <= MAX_LOSS:
        p.error(f"--loss takes 0 to {MAX_LOSS}")
    if not args.list_malformed and args.devices is None and args.generate is None:
        p.error("one of --devices or --generate is required")
    return args


def main(argv=None):
    args = parse_args(sys.argv[1:] if argv is None else argv)
    if args.list_malformed:
        for name, expect, payload in malformed_set():
            print(json.dumps({"name": name, "expect": expect, "hex": payload.hex()}))
        return 0
    try:
        if args.devices is not None:
            devices = load_devices(args.devices)
        else:
            devices = generate_devices(args.generate, args.subnet, args.netmask,
                                       parse_bytes(args.password, PASSWORD_WIDTH, "--password"))
    except ConfigError as e:
        print(f"kavren_emulator: {e}", file=sys.stderr)
        return 2
    if args.list_devices:
        json.dump({"devices": [device_to_json(d) for d in devices]}, sys.stdout, indent=1)
        print()
        return 0

    emulator = Emulator(args, devices)

    def stop(signum, frame):
        emulator.stopping = True
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    if args.ready_file:
        temporary = args.ready_file + ".tmp"
        with open(temporary, "w") as f:
            json.dump({"pid": os.getpid(), "port": args.port, "devices": len(devices)}, f)
        os.replace(temporary, args.ready_file)
    emulator.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
