#!/usr/bin/env python3
"""The bench station and scan at scale, against tervo-devsim processes on pseudo-terminals:

 - station: one tracker appearing alone, then 16 appearing at once (links made in one go),
   each provisioned from a full snapshot and read back; the time for 16 against the time for
   one, and the time from a link appearing to the device's first command (its transcript);
 - scan of 16 ports, 4 of them silent;
 - resident memory of the station with 16 trackers, over plug/unplug cycles of all 16, beside
   the size of the records database it appends to: SQLite keeps up to 2000 KiB of that file in
   its page cache, so the resident size rises with the file until then and stays flat after.

Usage: bench/device/station_bench.py [BUILD_DIR] [CYCLES]
"""
import datetime
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
CYCLES = int(sys.argv[2]) if len(sys.argv) > 2 else 200
CLI = os.path.join(BUILD, "tools", "tervo-cli")
SIM = os.path.join(BUILD, "tools", "tervo-devsim")
WORK = tempfile.mkdtemp(prefix="station-bench-")
SIMS = []
RECORDS = os.path.join(WORK, "records.sqlite")


def start_sim(*options):
    """A simulated tracker; its path (first line of output) and its transcript file."""
    transcript = open(os.path.join(WORK, "sim%d.log" % len(SIMS)), "w")
    sim = subprocess.Popen([SIM, *options], stdout=subprocess.PIPE, stderr=transcript, text=True)
    SIMS.append(sim)
    return sim, sim.stdout.readline().strip(), transcript.name


def stop_all():
    for sim in SIMS:
        sim.terminate()
    for sim in SIMS:
        sim.wait()
    SIMS.clear()


def first_command_time(transcript, day):
    """When the device got its first command, by its transcript's HH:mm:ss.zzz stamp."""
    with open(transcript) as log:
        for line in log:
            if "<< (" in line:
                stamp = datetime.datetime.strptime(line[:12], "%H:%M:%S.%f").time()
                return datetime.datetime.combine(day, stamp).timestamp()
    return None


class Station:
    def __init__(self, template, folder):
        self.process = subprocess.Popen(
            [CLI, "station", "--quiet", "--template", template, "--watch",
             os.path.join(folder, "tracker*"), "--records", RECORDS],
            stdout=subprocess.PIPE, text=True)
        self.lines = []

    def wait_lines(self, count, pattern, timeout=300):
        """Until `count` more device lines matching pattern; the time the last came."""
        matched = 0
        deadline = time.time() + timeout
        while matched < count and time.time() < deadline:
            line = self.process.stdout.readline()
            if not line:
                break
            self.lines.append(line)
            if re.search(pattern, line):
                matched += 1
        if matched < count:
            sys.exit("station: %d of %d lines matching %r\n%s" %
                     (matched, count, pattern, "".join(self.lines[-20:])))
        return time.time()

    def rss_kib(self):
        with open("/proc/%d/status" % self.process.pid) as status:
            fields = dict(line.split(":", 1) for line in status)
        return int(fields["VmRSS"].split()[0]), int(fields["VmHWM"].split()[0])

    def stop(self):
        self.process.send_signal(signal.SIGINT)
        out, _ = self.process.communicate(timeout=60)
        return out


def provision(template, count):
    """Seconds from `count` links appearing at once to the last device provisioned, and the
    worst time from a link appearing to its device's first command."""
    folder = tempfile.mkdtemp(dir=WORK)
    station = Station(template, folder)
    time.sleep(1)  # the station is watching
    devices = [start_sim("--id", str(5000 + i)) for i in range(count)]
    appeared = time.time()
    for i, (_, path, _) in enumerate(devices):
        os.symlink(path, os.path.join(folder, "tracker%02d" % i))
    done = station.wait_lines(count, r": provisioned: ")
    day = datetime.date.today()
    first = max(first_command_time(log, day) - appeared for _, _, log in devices)
    station.stop()
    stop_all()
    return done - appeared, first


def main():
    template = os.path.join(WORK, "full.snapshot")
    reference, path, _ = start_sim("--id", "4711")
    subprocess.run([CLI, "backup", "--quiet", "--records", RECORDS,
                    "--port", path, "--out", template], check=True)
    stop_all()
    keys = sum(1 for line in open(template) if line.startswith("P"))

    print("station, full snapshot (%d keys, written and read back)" % keys)
    one, first_one = provision(template, 1)
    sixteen, first_sixteen = provision(template, 16)
    print("  1 device: %.2f s; 16 at once: %.2f s; ratio %.3f (at most 1.10)" %
          (one, sixteen, sixteen / one))
    print("  port appearing to first command: %.2f s alone, %.2f s worst of 16 (under 1.5 s)" %
          (first_one, first_sixteen))

    ports = [start_sim("--id", str(6000 + i))[1] for i in range(12)]
    ports += [start_sim("--drop", "1")[1] for _ in range(4)]
    start = time.time()
    scan = subprocess.run([CLI, "scan", *sum((["--port", p] for p in ports), [])],
                          capture_output=True, text=True)
    print("scan of 16 ports, 4 silent: %.2f s (under 3 s), %d answered, exit %d" %
          (time.time() - start, scan.stdout.count("TERVO_SIM"), scan.returncode))
    stop_all()

    small = os.path.join(WORK, "small.snapshot")
    with open(small, "w") as out:
        out.write("[Params]\r\nP03=+8613800138000\r\nP17=FLEET\r\nP10=20\r\nP12=480\r\n")
    folder = tempfile.mkdtemp(dir=WORK)
    station = Station(small, folder)
    time.sleep(1)
    devices = [start_sim("--id", str(7000 + i), "--link", os.path.join(folder, "tracker%02d" % i))
               for i in range(16)]
    station.wait_lines(16, r": provisioned: ")
    print("station memory with 16 devices over %d plug/unplug cycles of all 16 (under 40 MB, flat)"
          % CYCLES)
    print("  after the first provisioning: RSS %d KiB (peak %d KiB)" % station.rss_kib())
    for cycle in range(1, CYCLES + 1):
        for sim, _, _ in devices:
            sim.send_signal(signal.SIGUSR1)
        time.sleep(0.3)  # the watcher sees them go
        for sim, _, _ in devices:
            sim.send_signal(signal.SIGUSR2)
        station.wait_lines(16, r": already provisioned: ")
        if cycle in (1, 10) or cycle % 25 == 0 or cycle == CYCLES:
            print("  cycle %3d: RSS %d KiB (peak %d KiB), records database %d KiB" %
                  ((cycle,) + station.rss_kib() + (os.path.getsize(RECORDS) // 1024,)))
    station.stop()
    stop_all()


try:
    main()
finally:
    stop_all()
    subprocess.run(["rm", "-rf", WORK])
