#!/usr/bin/env python3
"""Runs a Windows program under wine with its COM8 and COM9 joined like the two ends of a
null-modem cable: each is a pseudo-terminal of its own, and what the program writes to one it
reads from the other. No device of the machine is opened.

Usage: null_modem.py PROGRAM [ARGUMENTS...]; WINEPREFIX names the prefix."""

import os
import pty
import select
import subprocess
import sys
import threading
import tty

WINE_RUN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                        "wine-run.sh")


def forward(masters, stop):
    """Copies what each end's program writes to the other end until `stop` is set."""
    other = {masters[0]: masters[1], masters[1]: masters[0]}
    while not stop.is_set():
        ready, _, _ = select.select(masters, [], [], 0.05)
        for master in ready:
            try:
                data = os.read(master, 4096)
            except OSError:  # the end has no reader at the moment
                continue
            os.write(other[master], data)


def main():
    dosdevices = os.path.join(os.environ["WINEPREFIX"], "dosdevices")
    ends = [pty.openpty() for _ in range(2)]
    links = []
    for name, (_, slave) in zip(("com8", "com9"), ends):
        # Raw, as a serial port is: no echo, no line editing, no character translated.
        tty.setraw(slave)
        link = os.path.join(dosdevices, name)
        if os.path.lexists(link):
            os.unlink(link)
        os.symlink(os.ttyname(slave), link)
        links.append(link)
    stop = threading.Event()
    bridge = threading.Thread(target=forward, args=([master for master, _ in ends], stop))
    bridge.start()
    try:
        status = subprocess.call([WINE_RUN] + sys.argv[1:])
    finally:
        stop.set()
        bridge.join()
        for link in links:
            os.unlink(link)
    sys.exit(status)


if __name__ == "__main__":
    main()
