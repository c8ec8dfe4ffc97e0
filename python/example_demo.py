#!/usr/bin/env python3
"""A POS program in Python driving a PIN pad through the Korvex library: the
connection test, the table update and a chip purchase of 12.50 EUR approved
by the issuer this program plays.

    build/dev/emulator/korvex-pinpad --listen 127.0.0.1:4001 &
    KORVEX_LIBRARY=build/dev/libkorvex.so.0 python3 python/example_demo.py \\
        --router 127.0.0.1:4001 --terminal examples/terminal.json

Exit status 0 when the purchase was approved, 1 when a step failed (the
reason on standard error), 2 for a wrong command line or terminal file.
"""

import argparse
import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import korvex  # noqa: E402

PAD_NAME = "PY1"
REGISTRY_KEY = "Software\\Shop\\"
AMOUNT = 12.50
CURRENCY = 978
# The issuer's answer: response code "00", made-up authentication data and a
# short made-up script for tag 71 (script identifier, then one command).
ISSUER_SCRIPT_71 = bytes.fromhex("9F1804 00000001 8605 8424000000")
ISSUER_IAD = "1122334455667788"
ISSUER_RESPONSE_CODE = "3030"


class StepFailed(Exception):
    pass


class Session:
    """The control, its host and the events seen in the current step."""

    def __init__(self, host):
        self.host = host
        self.events = []
        self.pad = korvex.Korvex(host, on_interface_event=self.on_event)

    def on_event(self, event_type, code, text):
        self.events.append((event_type, code, text))
        shown = text if event_type != 5 else "(track 2)"
        print(f"  InterfaceEvent {event_type}/{code} {korvex.to_unicode(shown)}", flush=True)

    def step(self, title, call, awaited, limit_seconds=60):
        """Makes a call and runs the host until the awaited event, or fails on
        a refusal, an error event or the time limit."""
        print(f"-- {title}", flush=True)
        self.events.clear()
        started = call()
        if started != 0:
            raise StepFailed(f"{title} refused with {started} in state {self.pad.getState()}")

        def finished():
            return any(e[0] not in (0, 5) or e[:2] == awaited for e in self.events)

        if not self.host.run_until(finished, limit_seconds):
            raise StepFailed(f"{title} did not finish within {limit_seconds} s")
        failure = next((e for e in self.events if e[0] not in (0, 5)), None)
        if failure is not None:
            raise StepFailed(f"{title} failed: {failure[0]}/{failure[1]} "
                             f"{korvex.to_unicode(failure[2])}")


def write_registry(folder, router_host, router_port):
    """The router address where the control looks for it, as an installation
    keeps it: a registry export file."""
    path = os.path.join(folder, "pinpads.reg")
    with open(path, "w", encoding="latin-1", newline="\r\n") as file:
        file.write("REGEDIT4\n\n"
                   f"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\{PAD_NAME}]\n"
                   f"\"RouterHost\"=\"{router_host}\"\n"
                   f"\"RouterPort\"=\"{router_port}\"\n")
    return path


def show_download(name, sent, size):
    if sent == size:
        print(f"  downloaded {name} ({size} bytes)", flush=True)


def purchase(session):
    pad = session.pad
    now = time.strftime("%y%m%d%H%M%S")
    session.step(f"StartTransaction {AMOUNT:.2f} {CURRENCY}",
                 lambda: pad.StartTransaction(now, AMOUNT, CURRENCY, False), (0, 1102))
    session.step("EnterPIN", pad.EnterPIN, (0, 1103))
    session.step("GetFirstCrypto", lambda: pad.GetFirstCrypto(0, False), (0, 1104))
    print(f"issuer (played by the example): approved, response code {ISSUER_RESPONSE_CODE}")
    session.step("GetSecondCrypto",
                 lambda: pad.GetSecondCrypto(0, ISSUER_SCRIPT_71, "", ISSUER_IAD,
                                             ISSUER_RESPONSE_CODE), (0, 1106))
    # The cryptogram's kind is in the two top bits of its information byte.
    cid = pad.getTag("9F27")
    kind = {0x00: "AAC", 0x40: "TC", 0x80: "ARQC"}.get(int(cid or "C0", 16) & 0xC0, "unknown")
    outcome = "approved" if kind == "TC" else "declined" if kind == "AAC" else "not finished"
    print(f"purchase: {AMOUNT:.2f} in currency {CURRENCY}, {outcome} (cryptogram {kind}, "
          f"9F27 {cid}, response code {pad.getTag('AUTHRESP')})")
    return outcome == "approved"


def run(router_host, router_port, terminal):
    with tempfile.TemporaryDirectory(prefix="korvex-py-") as folder, korvex.Host() as host:
        host.load_registry(write_registry(folder, router_host, router_port))
        session = Session(host)
        pad = session.pad
        pad.setName(PAD_NAME)
        pad.setEMVRegistryKey(REGISTRY_KEY)
        if pad.InitFromReg() != 0:
            raise StepFailed("InitFromReg refused")
        # The key files a key download needs are written below this folder.
        pad.SetDownloadPath(folder + "/")
        pad.setDownloadObserver(show_download)
        if pad.setTerminalObject(terminal) != 0:
            raise StepFailed("setTerminalObject refused")
        session.step("PerformConnectionTest", lambda: pad.PerformConnectionTest(1), (0, 1107))
        session.step("InitTransaction", pad.InitTransaction, (0, 1100), limit_seconds=120)
        approved = purchase(session)
        pad.close()
        return approved


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--router", required=True, metavar="HOST:PORT",
                        help="the router (or korvex-pinpad) of the PIN pad")
    parser.add_argument("--terminal", required=True, metavar="FILE.json",
                        help="the terminal configuration file")
    args = parser.parse_args()
    host, _, port = args.router.rpartition(":")
    if not host or not port.isdigit():
        parser.error(f"--router: expected HOST:PORT, got {args.router!r}")
    print(f"korvex library {korvex.library_version()}", flush=True)
    try:
        approved = run(host, int(port), args.terminal)
    except korvex.KorvexError as error:
        print(f"example_demo: {error.message}", file=sys.stderr)
        return 2 if error.status == korvex.E_FILE else 1
    except StepFailed as error:
        print(f"example_demo: {error}", file=sys.stderr)
        return 1
    print("example completed" if approved else "example FAILED", flush=True)
    return 0 if approved else 1


if __name__ == "__main__":
    sys.exit(main())
