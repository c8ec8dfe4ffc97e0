#!/usr/bin/env python3
"""Runs python/example_demo.py against korvex-pinpad started on a free
loopback port, and checks that it ends with the purchase approved, that the
key download it needed was reported file by file, and that the pad saw no
protocol violation.

    run_example.py PINPAD EXAMPLE TERMINAL LIBRARY
"""

import json
import os
import subprocess
import sys
import tempfile

# The pad starts its applications and the cardholder acts at once: the time
# left is the control's own waits.
QUICK_PAD = {
    "delays": {"loaderBootMs": 100, "paymentStartMs": 100},
    "cardholder": {"entryDelayMs": 50, "amountDelayMs": 50, "pinDelayMs": 50},
}


def fail(message, *outputs):
    print(message, file=sys.stderr)
    for output in outputs:
        print(output, file=sys.stderr)
    sys.exit(1)


def main():
    pinpad, example, terminal, library = sys.argv[1:5]
    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as scenario:
        json.dump(QUICK_PAD, scenario)
    pad = subprocess.Popen([pinpad, "--listen", "127.0.0.1:0", "--scenario", scenario.name],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        listening = pad.stdout.readline().strip()
        if not listening.startswith("listening on 127.0.0.1:"):
            fail(f"korvex-pinpad did not start: {listening!r}", pad.stderr.read())
        router = listening[len("listening on "):]
        env = dict(os.environ, KORVEX_LIBRARY=library, PYTHONDONTWRITEBYTECODE="1")
        run = subprocess.run([sys.executable, example, "--router", router, "--terminal", terminal],
                             env=env, capture_output=True, text=True, timeout=90)
    finally:
        pad.terminate()
        pad_errors = pad.communicate(timeout=10)[1]
        os.unlink(scenario.name)
    lines = run.stdout.splitlines()
    if run.returncode != 0:
        fail(f"example exited {run.returncode}", run.stdout, run.stderr)
    if lines[-2:] != ["purchase: 12.50 in currency 978, approved (cryptogram TC, 9F27 40, "
                      "response code 3030)", "example completed"]:
        fail("the example did not end with the purchase approved", run.stdout)
    for expected in ("  InterfaceEvent 0/1107 EmvApp is ready",
                     "  InterfaceEvent 0/1100 Init completed",
                     "  InterfaceEvent 0/1106 Transaction Completed!"):
        if expected not in lines:
            fail(f"missing line {expected!r}", run.stdout)
    if not any(line.startswith("  downloaded ") and line.endswith(".EMV (185 bytes)")
               for line in lines):
        fail("no key file download was reported", run.stdout)
    if pad.returncode != 0 or "violation" in pad_errors:
        fail(f"korvex-pinpad exited {pad.returncode}", pad_errors)
    print(run.stdout)


if __name__ == "__main__":
    main()
