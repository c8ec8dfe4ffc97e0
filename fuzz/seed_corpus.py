#!/usr/bin/env python3
"""Seeds the fuzz corpora from the byte streams the test suite exchanges.

Runs the test binaries of a build (default build/dev) with KORVEX_SIM_WIRE_DIR
set, so that every SimHost saves its wire log, and turns the logs into inputs:
what the PIN pad sent, as receive_fuzz operations (frames, control characters,
time between writes); what the control sent, for pinpad_fuzz and request_fuzz.
Keeps a few small, distinct inputs per target (fuzz/corpus/<name>/t-<hash>).
"""
import hashlib
import os
import pathlib
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
AREAS = ["link", "padctl", "init", "transaction", "download", "emvconfig"]
KEEP = 24         # inputs per target
MAX_BYTES = 2048  # per input
ADVANCES = [0, 1, 2, 5, 10, 50, 100, 199, 200, 201, 499, 500, 501, 999, 1000, 1001,
            2999, 3000, 3001, 4999, 5000, 5001, 9999, 10001]


def read_logs(folder):
    """Per connection: [(time_us, side, bytes)] of its data records."""
    streams = {}
    for path in sorted(folder.iterdir()):
        conn = 0
        for line in path.read_text().splitlines():
            parts = line.split(" ")
            time_us, side, kind = int(parts[0]), parts[1], parts[2]
            data = bytes.fromhex(parts[3]) if len(parts) > 3 else b""
            if kind == "o":
                conn += 1
            if kind == "d":
                streams.setdefault((path.name, conn), []).append((time_us, side, data))
    return list(streams.values())


def units(data, crc):
    """The wire units of a byte stream: frames (STX..ETX+check), lone bytes."""
    out, i = [], 0
    while i < len(data):
        if data[i] == 2:
            end = data.find(b"\x03", i)
            if end < 0:
                out.append(("raw", data[i:]))
                break
            stop = end + 1 + (2 if crc else 1)
            out.append(("frame", data[i:stop]))
            i = stop
        else:
            out.append(("raw", data[i:i + 1]))
            i += 1
    return out


def receive_input(records):
    """Operations of receive_fuzz for what the pad sent on one connection."""
    ops, last = bytearray([0]), None
    for time_us, side, data in records:
        if side != "p":
            continue
        if last is not None and time_us > last:
            ms = (time_us - last) // 1000
            best = min(range(len(ADVANCES)), key=lambda k: abs(ADVANCES[k] - ms))
            ops.append(0x80 + best)
        last = time_us
        for kind, unit in units(data, False):
            if kind == "frame" and 2 <= len(unit) - 2 <= 64:
                text = unit[1:-2]
                ops.append(0x40 + len(text) - 1)
                ops += text
            elif len(unit) == 1 and unit[0] in (6, 0x15, 5, 4):
                ops.append(0xF0 + [6, 0x15, 5, 4].index(unit[0]))
            else:
                for k in range(0, len(unit), 64):
                    piece = unit[k:k + 64]
                    ops.append(len(piece) - 1)
                    ops += piece
    return bytes(ops)


def control_stream(records):
    return b"".join(data for _, side, data in records if side == "c")


def pinpad_input(stream):
    out = bytearray([0])
    for k in range(0, len(stream), 24):
        piece = stream[k:k + 24]
        out.append(len(piece) - 1)
        out += piece
    return bytes(out)


def keep(name, inputs):
    folder = ROOT / "fuzz" / "corpus" / name
    folder.mkdir(parents=True, exist_ok=True)
    distinct = {}
    for data in inputs:
        data = data[:MAX_BYTES]
        if len(data) > 1:
            distinct.setdefault(hashlib.sha1(data).hexdigest()[:12], data)
    # The longest first: they hold the most of a conversation.
    chosen = sorted(distinct.items(), key=lambda kv: (-len(kv[1]), kv[0]))[:KEEP]
    for digest, data in chosen:
        (folder / f"t-{digest}").write_bytes(data)
    print(f"{name}: {len(chosen)} seeds")


def main():
    build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ROOT / "build" / "dev")
    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ, KORVEX_SIM_WIRE_DIR=tmp)
        for area in AREAS:
            binary = build / "tests" / f"test_{area}"
            if binary.exists():
                subprocess.run([str(binary)], env=env, stdout=subprocess.DEVNULL, check=False)
        streams = read_logs(pathlib.Path(tmp))
    keep("receive", [receive_input(s) for s in streams])
    keep("pinpad", [pinpad_input(control_stream(s)) for s in streams])
    keep("request", [b"\x00" + control_stream(s) for s in streams])


if __name__ == "__main__":
    main()
