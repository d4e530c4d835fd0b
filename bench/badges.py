#!/usr/bin/python3
"""Badge updates through the scripting interface, measured on the virtual DisplayPad.

Starts the built program with its virtual pads on a private session bus (temporary home, no real
pad), then:
  1. latency: sets key 1's top-right badge to a new value, then saves the pad's picture until key 1
     changes; the time from the call to the first picture showing the change, 200 times, paced
     so that each update lands on an idle program (resolution: one SavePicture round, a few ms);
  2. load: sets the badge 100 times a second for 10 s and reports the program's CPU over that
     time, its RSS before and after, and how long after the last call the pad shows the last value
     (a queue that grew would show up as a long tail here).

    /usr/bin/python3 bench/badges.py [build/quorvel]
Needs python3-dbus and python3-pil (Debian packages; scripts/install-deps has python3-pil).
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

import dbus
from PIL import Image

SERVICE = "org.quorvel.Zodovuvur"
APP = "org.quorvel.Zodovuvur.Application"
DEVICE = "org.quorvel.Zodovuvur.Device"
BUTTON = "org.quorvel.Zodovuvur.ScreenButton"
BADGE = "org.quorvel.Zodovuvur.Badge"
PADS = "org.quorvel.Zodovuvur.VirtualPads"


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def main():
    program = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/quorvel")
    root = tempfile.mkdtemp(prefix="quorvel-badges-")
    env = dict(os.environ)
    for name in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"):
        env[name] = os.path.join(root, name.lower())
        os.makedirs(env[name], mode=0o700)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    bus_daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                  stdout=subprocess.PIPE, text=True)
    address = bus_daemon.stdout.readline().strip()
    env["DBUS_SESSION_BUS_ADDRESS"] = address
    log = open(os.path.join(root, "quorvel.log"), "w")
    quorvel = subprocess.Popen([program, "--simulate", "--virtual-only", "--headless"], env=env,
                               stdout=log, stderr=log)
    try:
        bus = dbus.bus.BusConnection(address)
        deadline = time.monotonic() + 30
        while not bus.name_has_owner(SERVICE):
            if time.monotonic() > deadline or quorvel.poll() is not None:
                sys.exit("the program did not come up; see " + log.name)
            time.sleep(0.05)
        app = bus.get_object(SERVICE, "/org/quorvel/Zodovuvur")
        pads = dbus.Interface(bus.get_object(SERVICE, "/org/quorvel/Zodovuvur/VirtualPads"), PADS)
        while True:
            devices = [str(p) for p in app.Get(APP, "Devices", dbus_interface=dbus.PROPERTIES_IFACE)]
            mountain = [p for p in devices if
                        str(bus.get_object(SERVICE, p).Get(DEVICE, "UniqueID",
                                                           dbus_interface=dbus.PROPERTIES_IFACE))
                        .startswith("mountain-")]
            if mountain:
                break
            if time.monotonic() > deadline:
                sys.exit("no DisplayPad device object")
            time.sleep(0.1)
        device = dbus.Interface(bus.get_object(SERVICE, mountain[0]), DEVICE)
        button = device.ScreenButtonsWithName("Scene1Button1")
        badge = dbus.Interface(bus.get_object(SERVICE, dbus.Interface(
            bus.get_object(SERVICE, button), BUTTON).Badge("top right")), BADGE)
        badge.SetDisplayed(True)

        picture = os.path.join(root, "pad.png")

        def key1():
            pads.SavePicture("displaypad", picture)
            return Image.open(picture).crop((0, 0, 102, 102)).tobytes()

        def wait_change(before, limit=5.0):
            start = time.monotonic()
            while time.monotonic() - start < limit:
                now = key1()
                if now != before:
                    return now
            raise SystemExit("the pad did not change within %.0f s" % limit)

        badge.SetValue(dbus.Int64(1))
        shown = wait_change(key1())
        latencies = []
        for value in range(2, 202):
            time.sleep(0.02)
            start = time.monotonic()
            badge.SetValue(dbus.Int64(value % 90 + 2))
            shown = wait_change(shown)
            latencies.append((time.monotonic() - start) * 1000)
        latencies.sort()
        print("latency call -> picture (ms, 200 updates): p50 %.1f  p99 %.1f  max %.1f" % (
            latencies[len(latencies) // 2], latencies[int(len(latencies) * 0.99) - 1],
            latencies[-1]))

        rss_before = rss_kib(quorvel.pid)
        cpu_before = cpu_seconds(quorvel.pid)
        start = time.monotonic()
        calls = 0
        while time.monotonic() - start < 10:
            badge.SetValue(dbus.Int64(calls % 90 + 2))
            calls += 1
            next_call = start + calls / 100
            delay = next_call - time.monotonic()
            if delay > 0:
                time.sleep(delay)
        elapsed = time.monotonic() - start
        # Settled: the picture has not changed for 0.3 s; how long after the last call it last did.
        last_call = time.monotonic()
        previous, last_change = key1(), time.monotonic()
        while time.monotonic() - last_change < 0.3:
            now = key1()
            if now != previous:
                previous, last_change = now, time.monotonic()
        settle = max(0.0, last_change - last_call) * 1000
        cpu = cpu_seconds(quorvel.pid) - cpu_before
        print("load: %d calls in %.1f s (%.0f/s); program CPU %.1f %% of a core; RSS %.1f -> %.1f MB;"
              " last value shown %.0f ms after its call" % (
                  calls, elapsed, calls / elapsed, 100 * cpu / elapsed, rss_before / 1024,
                  rss_kib(quorvel.pid) / 1024, settle))
    finally:
        quorvel.terminate()
        try:
            quorvel.wait(30)
        except subprocess.TimeoutExpired:
            quorvel.kill()
        bus_daemon.terminate()
        bus_daemon.wait()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
