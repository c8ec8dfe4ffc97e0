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


def receive_replays():
    """One input per starting state (the first byte picks one, modulo their
    number): the pad's answer from the state tour (0xF6), 10 ms, again, ...,
    seven times, as many as fit in the target's 16 bytes: a few steps of a
    real run from there. The test suite plays no part in them."""
    walk = bytes([0xF6, 0x80 + ADVANCES.index(10)]) * 7
    return {f"replay-{first:03}": bytes([first]) + walk for first in range(256)}


def pinpad_rests():
    """One input per rest point of the pad in the state tour (the first byte,
    from 0x10 on, picks one modulo their number), then the control's next
    write (0xEF) twelve times: a few exchanges of a real run from there."""
    return {f"rest-{first:03}": bytes([first]) + bytes([0xEF]) * 12
            for first in range(0x10, 256)}


def control_stream(records):
    return b"".join(data for _, side, data in records if side == "c")


PINPAD_MAX = 512  # run_targets.sh caps pinpad inputs here
PAUSE = 0xF0       # pinpad_fuzz: 0xF0 + k pauses (k + 1) x 500 ms
# pinpad_fuzz's first byte: the pad's application (0 payment, 1 loader,
# 2 download mode), 4 a card in the reader, 8 the line at 115200 baud.
PAD_DOWNLOAD = 2 | 8
# Where a conversation worth a seed of its own starts, and the pad it needs.
FLOW_STARTS = {b"C23": 4, b"C22": 4, b"Q41": 4, b"D03": 0, b"D04": 0, b"L00": 1}


def frame_code(data):
    return data[1:4] if data[:1] == b"\x02" else None


def pinpad_input(records, pad):
    """What the control wrote, in writes of at most 24 bytes, with pauses where
    the control waited (for the cardholder, say); at most PINPAD_MAX bytes."""
    out, last = bytearray([pad]), None
    for time_us, side, data in records:
        # pinpad_fuzz sends the router's line settings itself.
        if side != "c" or data.startswith(b"SETCOMM"):
            continue
        if last is not None:
            ms = (time_us - last) // 1000
            while ms >= 500:
                k = min(16, ms // 500)
                out.append(PAUSE + k - 1)
                ms -= k * 500
        last = time_us
        for k in range(0, len(data), 24):
            piece = data[k:k + 24]
            out.append(len(piece) - 1)
            out += piece
    return bytes(out[:PINPAD_MAX])


def pinpad_seeds(streams):
    """Each conversation from its start, and from each transaction or table
    update it holds; then, of these, the fewest that send every request code
    that any of them sends."""
    candidates = []
    for records in streams:
        # A download runs at 115200 baud, to the loader in download mode.
        first = next((data for _, side, data in records if side == "c"), b"")
        download = first.startswith(b"SETCOMM115200")
        candidates.append(pinpad_input(records, PAD_DOWNLOAD if download else 0))
        for i, (_, side, data) in enumerate(records):
            pad = FLOW_STARTS.get(frame_code(data)) if side == "c" else None
            if pad is not None:
                candidates.append(pinpad_input(records[i:], pad))
    codes = lambda data: {data[i + 1:i + 4] for i in range(len(data) - 3) if data[i] == 2}
    chosen, seen = [], set()
    for data in sorted(set(candidates), key=lambda d: (-len(codes(d)), -len(d), d)):
        if len(chosen) < KEEP and not codes(data) <= seen:
            chosen.append(data)
            seen |= codes(data)
    return chosen


def keep(name, inputs):
    folder = ROOT / "fuzz" / "corpus" / name
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.glob("t-*"):  # the seeds of an earlier run; others stay
        old.unlink()
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
    build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ROOT / "build" / "dev").resolve()
    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ, KORVEX_SIM_WIRE_DIR=tmp)
        for area in AREAS:
            binary = build / "tests" / f"test_{area}"
            if binary.exists():
                # From its own folder, as CTest runs it: the tests find the
                # shipped examples by paths relative to it.
                subprocess.run([str(binary)], env=env, cwd=binary.parent,
                               stdout=subprocess.DEVNULL, check=False)
        streams = read_logs(pathlib.Path(tmp))
    keep("receive", [receive_input(s) for s in streams])
    for name, data in receive_replays().items():
        (ROOT / "fuzz" / "corpus" / "receive" / name).write_bytes(data)
    keep("pinpad", pinpad_seeds(streams))
    for name, data in pinpad_rests().items():
        (ROOT / "fuzz" / "corpus" / "pinpad" / name).write_bytes(data)
    keep("request", [b"\x00" + control_stream(s) for s in streams])


if __name__ == "__main__":
    main()
