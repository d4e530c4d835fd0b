#!/usr/bin/python3
"""Idle cost of the program on a desktop: memory and CPU while nothing happens.

Starts Xvfb with a tray host (trayer), a private session bus and the built program with its
virtual pads (temporary home, no real pad), waits 60 s from the start, and reports the program's
resident memory and its CPU use as a share of one core over the last 30 s. With --show-window the
running program is first asked over org.freedesktop.Application.Activate to show its
configuration window, as a second start or a launcher would. With --headless it runs without
display, tray and window, as the systemd user service does.

    /usr/bin/python3 bench/idle.py [build/quorvel] [--show-window | --headless] [--seconds 60]
Needs xvfb, trayer and python3-dbus (scripts/install-deps installs them).
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

import dbus

SERVICE = "org.quorvel.Zodovuvur"


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def status_kib(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def wait_for(condition, seconds, what, log=None):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            sys.exit(what + (" (see %s)" % log if log else ""))
        time.sleep(0.05)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("program", nargs="?", default="build/quorvel")
    mode = parser.add_mutually_exclusive_group()
    mode.add_argument("--show-window", action="store_true")
    mode.add_argument("--headless", action="store_true")
    parser.add_argument("--seconds", type=float, default=60.0,
                        help="time from the start to the end of the measurement (default 60)")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    window = args.seconds / 2

    root = tempfile.mkdtemp(prefix="quorvel-idle-")
    env = dict(os.environ)
    for name in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"):
        env[name] = os.path.join(root, name.lower())
        os.makedirs(env[name], mode=0o700)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "SESSION_MANAGER"):
        env.pop(name, None)
    children = []

    def spawn(command, **kwargs):
        child = subprocess.Popen(command, env=env, **kwargs)
        children.append(child)
        return child

    try:
        if not args.headless:
            read, write = os.pipe()
            spawn(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24", "-nolisten",
                   "tcp"], pass_fds=(write,), stderr=subprocess.DEVNULL)
            os.close(write)
            with os.fdopen(read) as displayfd:
                env["DISPLAY"] = ":" + displayfd.readline().strip()
            spawn(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request"],
                  stderr=subprocess.DEVNULL)
        bus_daemon = spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, text=True)
        env["DBUS_SESSION_BUS_ADDRESS"] = bus_daemon.stdout.readline().strip()
        if not args.headless:
            # The tray host takes the tray selection a moment after it starts.
            time.sleep(1)
        log_path = os.path.join(root, "quorvel.log")
        log = open(log_path, "w")
        started = time.monotonic()
        quorvel = spawn([program, "--simulate", "--virtual-only", "--background"] +
                        (["--headless"] if args.headless else []), stdout=log, stderr=log)
        bus = dbus.bus.BusConnection(env["DBUS_SESSION_BUS_ADDRESS"])
        settings = os.path.join(env["XDG_DATA_HOME"], "Quorvel", "Devices")

        def pads_up():
            if quorvel.poll() is not None:
                sys.exit("the program ended early; see " + log_path)
            return bus.name_has_owner(SERVICE) and os.path.isdir(settings) and sum(
                os.path.exists(os.path.join(settings, d, "appearance.json"))
                for d in os.listdir(settings)) == 2

        wait_for(pads_up, 30, "the pads did not come up", log_path)
        if args.show_window:
            app = bus.get_object(SERVICE, "/org/quorvel/Zodovuvur")
            app.Activate(dbus.Dictionary({}, signature="sv"),
                         dbus_interface="org.freedesktop.Application")
        time.sleep(max(0.0, started + window - time.monotonic()))
        cpu_before, at = cpu_seconds(quorvel.pid), time.monotonic()
        time.sleep(max(0.0, started + args.seconds - time.monotonic()))
        cpu = (cpu_seconds(quorvel.pid) - cpu_before) / (time.monotonic() - at)
        rss, hwm = status_kib(quorvel.pid, "VmRSS"), status_kib(quorvel.pid, "VmHWM")
        quorvel.terminate()
        code = quorvel.wait(30)
        log.close()
        with open(log_path) as f:
            text = f.read()
        setting = "headless" if args.headless else (
            "window shown" if args.show_window else "tray only")
        if not args.headless:
            setting += ", tray host %s" % ("missing" if "shows no tray icons" in text else "present")
        print("idle %.0f s after start (%s), both virtual pads attached" % (args.seconds, setting))
        print("cpu over the last %.0f s: %.2f %% of one core" % (args.seconds - window, 100 * cpu))
        print("memory: resident %.1f MB now, peak %.1f MB" % (rss / 1024, hwm / 1024))
        print("exit status after SIGTERM: %d" % code)
        if args.show_window and "configuration requested" not in text:
            sys.exit("the program did not take the request to show its window")
        sys.exit(0 if code == 0 else 1)
    finally:
        for child in reversed(children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(30)
                except subprocess.TimeoutExpired:
                    child.kill()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
