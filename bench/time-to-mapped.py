#!/usr/bin/env python3
"""Milliseconds from starting a program until its first window is mapped on
the X display in $DISPLAY, median of several runs, for two programs in turn.
Usage: time-to-mapped.py RUNS 'COMMAND A' 'COMMAND B'"""
import shlex
import statistics
import subprocess
import sys
import time


def mapped_after(command):
    # xev reports every window mapped on the screen, one event a line, flushed.
    # A busy server sometimes refuses the watcher; it is then started again.
    while True:
        watcher = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        time.sleep(0.2)
        if watcher.poll() is None:
            break
    start = time.monotonic()
    program = subprocess.Popen(shlex.split(command), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = None
    for line in watcher.stdout:
        if line.startswith("MapNotify"):
            elapsed = (time.monotonic() - start) * 1000
            break
    program.terminate()
    program.wait()
    watcher.terminate()
    watcher.wait()
    return elapsed


def main():
    runs, commands = int(sys.argv[1]), sys.argv[2:4]
    times = {c: [] for c in commands}
    mapped_after(commands[0])  # warm-up
    for _ in range(runs):
        for c in commands:
            times[c].append(mapped_after(c))
    ratios = [a / b for a, b in zip(times[commands[0]], times[commands[1]])]
    for c in commands:
        t = times[c]
        print(f"{c}: median {statistics.median(t):.1f} ms (min {min(t):.1f}, max {max(t):.1f})")
    print(f"A/B: median {statistics.median(ratios):.2f} (min {min(ratios):.2f}, max {max(ratios):.2f})")


main()
