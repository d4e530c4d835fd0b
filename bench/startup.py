#!/usr/bin/python3
"""Start-up of `quorvel --simulate`: from the process start to the first complete frame on both
virtual pads, read from the log as the two "<pad>: <kind> ready" lines (each pad's session
reports ready once its last initial key or button has been acknowledged).

Usage: startup.py QUORVEL [--runs N] [--probe BENCH_PROBE]

Every run gets a private session bus, fresh settings, cache and runtime folders, so nothing of
the user's is read or touched and each start is a first start. Runs alternate between two
settings: no display at all (headless; no display probe) and an X display (a private Xvfb),
where the program first forks the display probe. The difference between them is the probe's
share together with the widget application's own start; `--probe` also times the probe alone.
The DisplayPad's 0.25 s settle pause is inside every figure; the program's own share is the
DisplayPad's time minus that pause; the MSD-TWO's 0.5 s pause after its first background
upload is inside its figure the same way. Wall times on a busy machine mostly measure the
machine, so the CPU time the program (with its probe) spent until both pads were ready is shown
too. Reports medians, p90 and the load average.
"""

import argparse
import os
import re
import select
import signal
import statistics
import subprocess
import sys
import tempfile
import time

SETTLE_S = 0.25
READY = re.compile(r": (Mountain DisplayPad|MSD-TWO) ready$")
# Log lines whose times are worth showing, in the order they come.
MILESTONES = (
    ("first log line", re.compile(r".")),
    ("DisplayPad activation acknowledged", re.compile(r"DisplayPad activation acknowledged")),
    ("DisplayPad initial artwork uploaded", re.compile(r"DisplayPad initial artwork uploaded")),
)


def start_bus(folder):
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                           cwd=folder)
    return bus, bus.stdout.readline().strip()


def start_xvfb():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp",
                             "-screen", "0", "1024x768x24"], pass_fds=(write_end,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            sys.exit("startup: Xvfb did not start")
        number += chunk
    os.close(read_end)
    return xvfb, ":" + number.decode().strip()


def cpu_seconds(pid):
    """CPU time of the process, its threads and its reaped children (the display probe) so far:
    what the program itself spent, which the machine's load hardly changes. 10 ms steps."""
    with open("/proc/%d/stat" % pid) as file:
        fields = file.read().rsplit(")", 1)[1].split()
    # utime, stime, cutime, cstime: fields 14 to 17 of proc(5), counted after the name.
    return sum(int(value) for value in fields[11:15]) / os.sysconf("SC_CLK_TCK")


def one_start(quorvel, bus, display, folder):
    home = tempfile.mkdtemp(dir=folder)
    runtime = os.path.join(home, "run")
    os.mkdir(runtime, 0o700)
    env = {key: value for key, value in os.environ.items()
           if key not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(HOME=home, XDG_RUNTIME_DIR=runtime, DBUS_SESSION_BUS_ADDRESS=bus,
               XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CONFIG_HOME=os.path.join(home, "config"),
               XDG_CACHE_HOME=os.path.join(home, "cache"))
    if display:
        env["DISPLAY"] = display
    start = time.monotonic()
    program = subprocess.Popen([quorvel, "--simulate"], stderr=subprocess.PIPE,
                               stdout=subprocess.DEVNULL, env=env)
    seen, ready, pending, cpu = {}, {}, b"", None
    deadline = start + 20
    while len(ready) < 2 and time.monotonic() < deadline:
        readable, _, _ = select.select([program.stderr], [], [], 0.5)
        if not readable:
            continue
        chunk = os.read(program.stderr.fileno(), 65536)
        now = time.monotonic() - start
        if not chunk:
            break
        pending += chunk
        *lines, pending = pending.split(b"\n")
        for line in lines:
            text = line.decode(errors="replace")
            for name, pattern in MILESTONES:
                if name not in seen and pattern.search(text):
                    seen[name] = now
            match = READY.search(text)
            if match:
                ready.setdefault(match.group(1), now)
        if len(ready) == 2:
            cpu = cpu_seconds(program.pid)
    program.send_signal(signal.SIGTERM)
    try:
        program.communicate(timeout=20)
    except subprocess.TimeoutExpired:
        program.kill()
        program.communicate()
    if len(ready) < 2:
        sys.exit("startup: the pads did not both come up within 20 s (saw %s)" % sorted(ready))
    return ready, seen, cpu


def summary(values):
    values = sorted(values)
    p90 = values[min(len(values) - 1, int(round(0.9 * (len(values) - 1))))]
    return "median %6.1f ms  p90 %6.1f ms  min %6.1f ms" % (
        statistics.median(values) * 1e3, p90 * 1e3, values[0] * 1e3)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("quorvel")
    parser.add_argument("--runs", type=int, default=15, help="per setting")
    parser.add_argument("--probe", help="bench_probe, to time the display probe alone")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="quorvel-startup-") as folder:
        bus, address = start_bus(folder)
        xvfb, display = start_xvfb()
        try:
            results = {"headless": [], "display": []}
            one_start(args.quorvel, address, None, folder)  # warms the file cache
            for _ in range(args.runs):
                for setting in results:
                    results[setting].append(
                        one_start(args.quorvel, address,
                                  display if setting == "display" else None, folder))
            probe = None
            if args.probe:
                probe = subprocess.run(
                    [args.probe, "--benchmark_repetitions=%d" % args.runs,
                     "--benchmark_report_aggregates_only=true"],
                    env=dict(os.environ, DISPLAY=display), capture_output=True, text=True)
        finally:
            xvfb.terminate()
            bus.terminate()
            xvfb.wait()
            bus.wait()

    print("Start-up of quorvel --simulate to the first complete frame on both virtual pads, "
          "%d runs per setting" % args.runs)
    print("load average at the end: %s" % " ".join(open("/proc/loadavg").read().split()[:3]))
    for setting, runs in results.items():
        both = [max(ready.values()) for ready, _, _ in runs]
        pad = [ready["Mountain DisplayPad"] for ready, _, _ in runs]
        msd = [ready["MSD-TWO"] for ready, _, _ in runs]
        print("%s:" % setting)
        print("  both pads ready            %s" % summary(both))
        print("  DisplayPad ready           %s" % summary(pad))
        print("  MSD-TWO ready              %s" % summary(msd))
        print("  own share (DisplayPad - %.2f s settle) %s" % (
            SETTLE_S, summary([value - SETTLE_S for value in pad])))
        print("  CPU until both were ready   %s" % summary([cpu for _, _, cpu in runs]))
        for name, _ in MILESTONES:
            times = [seen[name] for _, seen, _ in runs if name in seen]
            if times:
                print("  %-26s %s" % (name, summary(times)))
    if probe is not None:
        print("display probe alone (fork, Qt start on the display, exit):")
        print("\n".join(line for line in probe.stdout.splitlines()
                        if "median" in line or "stddev" in line) or probe.stderr.strip())


if __name__ == "__main__":
    main()
