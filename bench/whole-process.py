#!/usr/bin/env python3
"""Whole-process --render times beside their floor, and against XaoS.

    python3 bench/whole-process.py BUILD_DIR [RUNS]

For the scenes (b), (d) and (e) at 1920 x 1080, limit 1000, as BMP and as PNG:
the median wall time of `nivo --render`, and its floor: a 1 x 1 render (the
process's start and end) + the warm Compute of that view (from
`nivo_bench --quick`) + the same bytes written through the staged file
(`nivo_staged_copy`). Commands run in turn, RUNS times each, after a warm-up.
With DISPLAY set and `xaos` installed, XaoS renders the same views to PNG
(2 threads) in the same turns.
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SCENES = [
    ("(b) start view", -0.5, 0.0, 1.0),
    ("(d) -0.2+0i x20", -0.2, 0.0, 20.0),
    ("(e) x1e5", -0.743643887037151, 0.131825904205330, 1e5),
]
W, H, LIMIT = 1920, 1080, 1000


def wall(command):
    # Each command's fsync then writes its own file only, not what the
    # command before it left unwritten (XaoS's picture, a copy); and no
    # command starts in the wake of the one before: right after XaoS's two
    # busy threads, a render here took 6 to 20 ms longer.
    os.sync()
    time.sleep(0.1)
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def warm_computes(build):
    out = subprocess.run([f"{build}/bench/nivo_bench", "--quick", f"{W}x{H}"], check=True, capture_output=True,
                         text=True).stdout
    computes = {}
    for line in out.splitlines():
        cells = [c.strip() for c in line.split("|")]
        if len(cells) > 3 and cells[1][:3] in ("(b)", "(d)", "(e)"):
            # The first table (Compute in seconds); the kernel's table comes after.
            computes.setdefault(cells[1][:3], float(cells[3]))
    return computes


def machine():
    with open("/proc/cpuinfo") as cpuinfo:
        model = next((line.split(":", 1)[1].strip() for line in cpuinfo if line.startswith("model name")), "unknown")
    return f"{model}, {os.cpu_count()} logical processors"


def xaos_view(folder, cx, cy, zoom):
    width = 3.6 / zoom
    path = os.path.join(folder, "view.xaf")
    with open(path, "w") as f:
        f.write(f"(initstate) (formula 'mandel) (maxiter {LIMIT}) (view {cx!r} {-cy!r} {width!r} {width * H / W!r})\n")
    return ["xaos", "-render", path, "-size", f"{W}x{H}", "-alwaysrecalc", "-threads", "2"]


def main():
    build = os.path.abspath(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    nivo = f"{build}/app/nivo"
    computes = warm_computes(build)
    xaos = shutil.which("xaos") and os.environ.get("DISPLAY")
    folder = tempfile.mkdtemp()
    # XaoS leaves its frames in the current folder.
    os.chdir(folder)
    print(f"machine: {machine()}")
    print(f"{W} x {H}, limit {LIMIT}, {runs} runs each, medians in seconds")
    print("| scene | format | --render | floor | --render / floor | XaoS (PNG) | XaoS / --render |")
    print("|---|---|---|---|---|---|---|")
    for name, cx, cy, zoom in SCENES:
        for ext in ("bmp", "png"):
            target = os.path.join(folder, f"picture.{ext}")
            render = [nivo, "--render", target, "--size", f"{W}x{H}", "--iterations", str(LIMIT), "--center",
                      f"{cx!r},{cy!r}", "--zoom", repr(zoom)]
            tiny = [nivo, "--render", os.path.join(folder, f"tiny.{ext}"), "--size", "1x1"]
            subprocess.run(render, check=True)
            copy = [f"{build}/bench/nivo_staged_copy", target, os.path.join(folder, f"copy.{ext}")]
            commands = {"render": render, "tiny": tiny, "copy": copy}
            if xaos and ext == "png":
                commands["xaos"] = xaos_view(folder, cx, cy, zoom)
            times = {k: [] for k in commands}
            for k, c in commands.items():
                wall(c)
            for _ in range(runs):
                for k, c in commands.items():
                    times[k].append(wall(c))
            median = {k: statistics.median(v) for k, v in times.items()}
            floor = median["tiny"] + computes[name[:3]] + median["copy"]
            x = f"{median['xaos']:.3f} | {median['xaos'] / median['render']:.2f}" if "xaos" in median else "- | -"
            print(f"| {name} | {ext.upper()} | {median['render']:.3f} | {floor:.3f} | {median['render'] / floor:.2f} "
                  f"| {x} |", flush=True)
    shutil.rmtree(folder)


if __name__ == "__main__":
    main()
