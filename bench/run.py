#!/usr/bin/env python3
"""run.py - what waiting costs and how soon the end comes, for changewait and
the things users would otherwise use, measured interleaved in one run.

  bench/run.py [--quick] [--trials N] [--binary PATH] [--previous PATH] [--static PATH] [--svg PATH]

Prints what closing an inotify instance costs on this host, then one table;
figures are medians unless named otherwise. Counts, for every waiter, the
processes of it still alive when its exit is seen. Then the same waiters on
a FUSE mount (bindfs) whose file is written in the backing directory, as a
network file system is written by another machine. Draws the latency
distributions as a CDF with gnuplot (build/latency-cdf.svg unless --quick;
--svg doc/latency-cdf.svg updates the README's picture)."""

import ctypes

import argparse
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TICK = os.sysconf("SC_CLK_TCK")
# x86-64 system calls a waiter sleeps in: read, poll, select, pselect6, ppoll.
BLOCKING = {"0", "7", "23", "270", "271"}


class Contestant:
    """How to start one waiter on <dir>/out.txt."""

    def __init__(self, name, argv_for, inotify=True, every=1):
        self.name = name
        self.argv_for = argv_for  # (dir, file) -> argv
        self.inotify = inotify    # readiness: an inotify watch, blocked in read
        self.every = every        # slow pollers run in every n-th latency trial
        self.latency = []
        self.startup = []
        self.rss = []
        self.idle = None
        self.storm_cpu = None
        self.storm_latency = None
        self.storm_ended = False
        self.parent_cpu = None
        self.left = 0             # processes found alive at its exits, in all


def tree(pid):
    """pid and all its descendants."""
    out, todo = [], [pid]
    while todo:
        p = todo.pop()
        out.append(p)
        try:
            with open(f"/proc/{p}/task/{p}/children") as f:
                todo += [int(c) for c in f.read().split()]
        except OSError:
            pass
    return out


def cpu_ns(pid):
    """CPU time of the live tree, plus what its reaped children used."""
    total = 0
    for p in tree(pid):
        try:
            with open(f"/proc/{p}/schedstat") as f:
                total += int(f.read().split()[0])
        except OSError:
            pass
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        total += (int(fields[13]) + int(fields[14])) * 10**9 // TICK
    except OSError:
        pass
    return total


def peak_rss_kib(pid):
    total = 0
    for p in tree(pid):
        try:
            with open(f"/proc/{p}/status") as f:
                for line in f:
                    if line.startswith("VmHWM:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


def watching(pid, ino):
    """Some process of the tree has a watch on ino and sleeps in read(2)."""
    want = f" ino:{ino:x} "
    for p in tree(pid):
        try:
            for fd in os.listdir(f"/proc/{p}/fdinfo"):
                with open(f"/proc/{p}/fdinfo/{fd}") as f:
                    if want in f.read():
                        with open(f"/proc/{p}/syscall") as s:
                            if s.read().split()[0] in BLOCKING:
                                return True
        except OSError:
            pass
    return False


def start(c, d):
    """Starts c on d/out.txt; returns (pid, seconds to ready)."""
    target = os.path.join(d, "out.txt")
    ino = os.stat(d).st_ino
    t0 = time.perf_counter()
    pid = os.posix_spawn(c.argv_for(d, target)[0], c.argv_for(d, target), os.environ,
                         file_actions=[(os.POSIX_SPAWN_OPEN, 0, "/dev/null", os.O_RDONLY, 0)])
    if not c.inotify:
        time.sleep(0.02)  # a poller is ready once its first look is done
        return pid, None
    deadline = t0 + 10
    while not watching(pid, ino):
        if time.perf_counter() > deadline:
            os.kill(pid, signal.SIGKILL)
            os.waitpid(pid, 0)
            raise RuntimeError(f"{c.name} never became ready")
    return pid, time.perf_counter() - t0


def stop(pid):
    procs = tree(pid)
    for p in reversed(procs):
        try:
            os.kill(p, signal.SIGKILL)
        except OSError:
            pass
    os.waitpid(pid, 0)
    # Killed descendants come to this process, a subreaper, once their
    # parents are gone: reap them, or they would be counted as left by
    # whichever waiter's exit is seen next.
    for p in procs[1:]:
        while True:
            try:
                os.waitpid(p, 0)
                break
            except ChildProcessError:
                if not os.path.exists(f"/proc/{p}"):
                    break  # reaped by its own parent
                time.sleep(0.001)


KEEP = set()  # children of this process that are not waiters': the FUSE daemon


def adopted():
    """Children of this process other than the waiters it waits for: as a
    subreaper it inherits whatever a waiter leaves running."""
    with open(f"/proc/self/task/{os.getpid()}/children") as f:
        return [int(c) for c in f.read().split() if int(c) not in KEEP]


def reap(pids):
    for p in pids:
        try:
            os.waitpid(p, 0)
        except ChildProcessError:
            pass


def timed_out(signum, frame):
    raise TimeoutError


def write_and_time(target, pid, limit=10.0):
    """Writes 100 bytes, returns seconds until pid's exit is seen, or None
    when it has not ended within limit (a waiter that missed the write)."""
    t0 = time.perf_counter()
    fd = os.open(target, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    os.write(fd, b"x" * 100)
    os.close(fd)
    # Blocks in waitpid, since a sleep loop would add its own delay; the
    # timer's signal ends the wait if the exit does not come.
    signal.setitimer(signal.ITIMER_REAL, limit)
    try:
        os.waitpid(pid, 0)
        return time.perf_counter() - t0
    except TimeoutError:
        return None
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)


def latency_round(cs, trial, work):
    order = list(cs)
    random.shuffle(order)
    for c in order:
        if trial % c.every:
            continue
        d = tempfile.mkdtemp(dir=work)
        pid, _ = start(c, d)
        c.rss.append(peak_rss_kib(pid))
        lat = write_and_time(os.path.join(d, "out.txt"), pid)
        if lat is None:
            stop(pid)
        else:
            c.latency.append(lat)
            left = adopted()
            c.left += len(left)
            reap(left)
        shutil.rmtree(d, ignore_errors=True)


def startup_round(cs, work):
    """Spawn to ready, then killed. A round of its own: in the latency
    rounds the teardown that a hand-off leaves running would be measured
    as the next contestant's start-up."""
    order = [c for c in cs if c.inotify]
    random.shuffle(order)
    for c in order:
        d = tempfile.mkdtemp(dir=work)
        pid, ready = start(c, d)
        c.startup.append(ready)
        stop(pid)
        shutil.rmtree(d, ignore_errors=True)


def idle_round(cs, seconds, work):
    """All waiters at once, over the same quiet interval."""
    started = []
    for c in cs:
        d = tempfile.mkdtemp(dir=work)
        pid, _ = start(c, d)
        started.append((c, pid))
    # Only once all have started: each one's start is an event in the
    # others' parent directory.
    time.sleep(0.2)
    running = [(c, pid, cpu_ns(pid)) for c, pid in started]
    time.sleep(seconds)
    for c, pid, before in running:
        c.idle = cpu_ns(pid) - before
        stop(pid)


def storm_round(cs, writes, work, reps):
    """Each waiter under a storm of writes to other files, reps times in
    shuffled order; the CPU figure is the median of the reps."""
    cpu = {c.name: [] for c in cs}
    for _ in range(reps):
        order = list(cs)
        random.shuffle(order)
        for c in order:
            d = tempfile.mkdtemp(dir=work)
            pid, _ = start(c, d)
            before = cpu_ns(pid)
            for i in range(writes):
                fd = os.open(os.path.join(d, f"other{i % 16}.txt"), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
                os.write(fd, b"y")
                os.close(fd)
            time.sleep(0.2)  # let the last wake-ups be counted
            cpu[c.name].append(cpu_ns(pid) - before)
            c.storm_ended = c.storm_ended or os.waitpid(pid, os.WNOHANG)[0] != 0
            if c.storm_ended:
                continue
            c.storm_latency = write_and_time(os.path.join(d, "out.txt"), pid)
            if c.storm_latency is None:
                stop(pid)
            reap(adopted())
            shutil.rmtree(d, ignore_errors=True)
    for c in cs:
        c.storm_cpu = statistics.median(cpu[c.name])


def parent_storm_round(cs, events, work):
    """Each waiter while other names in its directory's parent are created
    and deleted: CPU per event (a creation or a deletion)."""
    for c in cs:
        if not c.inotify:
            continue
        d = tempfile.mkdtemp(dir=work)
        pid, _ = start(c, d)
        before = cpu_ns(pid)
        for i in range(events // 2):
            name = os.path.join(work, f"parent-other{i % 16}")
            os.close(os.open(name, os.O_WRONLY | os.O_CREAT, 0o644))
            os.unlink(name)
        time.sleep(0.2)
        c.parent_cpu = cpu_ns(pid) - before
        stop(pid)
        shutil.rmtree(d, ignore_errors=True)


def fuse_mount(work):
    """A bindfs mount of a fresh backing directory: (backing, mount), or a
    reason why there is none."""
    if not os.path.exists("/dev/fuse"):
        return None, None, "/dev/fuse is missing"
    if not shutil.which("bindfs"):
        return None, None, "bindfs is not installed"
    back, mnt = os.path.join(work, "fuse-back"), os.path.join(work, "fuse-mnt")
    os.mkdir(back)
    os.mkdir(mnt)
    daemon = subprocess.Popen(["bindfs", "-f", back, mnt], stderr=subprocess.PIPE, text=True)
    deadline = time.time() + 10
    while not os.path.ismount(mnt):
        if daemon.poll() is not None or time.time() > deadline:
            daemon.kill()
            return None, None, "bindfs cannot mount here: " + daemon.communicate()[1].strip()
        time.sleep(0.01)
    KEEP.add(daemon.pid)
    return back, mnt, None


def fuse_round(cs, trials, seconds, work):
    """Each waiter on <mount>/dN/out.txt while the file is written in the
    backing directory: latency (None: never ended within 3 s) and CPU per
    minute of waiting there. Waiters that never end are tried three times."""
    back, mnt, why = fuse_mount(work)
    if why:
        print(f"FUSE round skipped: {why}")
        return None
    res = {c.name: {"latency": [], "never": 0, "cpu": None} for c in cs}
    try:
        n = 0
        for trial in range(trials):
            order = [c for c in cs if trial % c.every == 0
                     and (res[c.name]["never"] < 3 or res[c.name]["latency"])]
            random.shuffle(order)
            for c in order:
                n += 1
                name = f"d{n}"
                os.mkdir(os.path.join(back, name))
                pid = os.posix_spawn(c.argv_for(os.path.join(mnt, name), os.path.join(mnt, name, "out.txt"))[0],
                                     c.argv_for(os.path.join(mnt, name), os.path.join(mnt, name, "out.txt")),
                                     os.environ,
                                     file_actions=[(os.POSIX_SPAWN_OPEN, 0, "/dev/null", os.O_RDONLY, 0)])
                time.sleep(0.3 + random.random() * 0.2)  # ready, at a random phase of any period
                lat = write_and_time(os.path.join(back, name, "out.txt"), pid, limit=3.0)
                if lat is None:
                    stop(pid)
                    res[c.name]["never"] += 1
                else:
                    res[c.name]["latency"].append(lat)
                reap(adopted())
        for c in cs:
            if res[c.name]["latency"] or c.name.startswith("poll"):
                os.mkdir(os.path.join(back, f"idle-{id(c)}"))
                d = os.path.join(mnt, f"idle-{id(c)}")
                pid = os.posix_spawn(c.argv_for(d, d + "/out.txt")[0], c.argv_for(d, d + "/out.txt"), os.environ)
                time.sleep(0.5)
                before = cpu_ns(pid)
                time.sleep(seconds)
                res[c.name]["cpu"] = (cpu_ns(pid) - before) * 60 / seconds
                stop(pid)
    finally:
        subprocess.run(["umount", mnt], check=False)
    return res


def print_fuse(cs, res, seconds):
    rows = [("on FUSE, written behind it", "n", "median ms", "p90 ms", "p99 ms", "max ms", "never ended",
             f"CPU ms/min (over {seconds} s)")]
    for c in cs:
        r = res[c.name]
        lat = r["latency"]
        rows.append((c.name, str(len(lat)),
                     *((ms(statistics.median(lat)), ms(pct(lat, 90)), ms(pct(lat, 99)), ms(max(lat)))
                       if lat else ("-",) * 4),
                     f"{r['never']} of {r['never'] + len(lat)}",
                     f"{r['cpu'] / 1e6:.2f}" if r["cpu"] is not None else "-"))
    widths = [max(len(r[i]) for r in rows) for i in range(len(rows[0]))]
    for r in rows:
        print("  ".join(x.rjust(w) if i else x.ljust(w) for i, (x, w) in enumerate(zip(r, widths))))


def anatomy_round(cs, trials, work):
    """Where a waiter's end goes, for changewait and the kernel floor: from
    the write to the event's wake-up, from there to the decision (the
    hand-off's first call), to the exit's start, and to the exit seen by
    waitpid, with bench/anatomy.c preloaded. Medians, in microseconds."""
    shim = os.path.join(work, "anatomy.so")
    subprocess.run(["cc", "-O2", "-shared", "-fPIC", "-o", shim, os.path.join(ROOT, "bench/anatomy.c"), "-ldl"],
                   check=True)
    stamps = os.path.join(work, "stamps")
    env = dict(os.environ, LD_PRELOAD=shim, ANATOMY=stamps)
    parts = {c.name: [] for c in cs}
    for _ in range(trials):
        order = list(cs)
        random.shuffle(order)
        for c in order:
            with open(stamps, "wb") as f:
                f.write(bytes(4096))
            d = tempfile.mkdtemp(dir=work)
            target = os.path.join(d, "out.txt")
            ino = os.stat(d).st_ino
            pid = os.posix_spawn(c.argv_for(d, target)[0], c.argv_for(d, target), env,
                                 file_actions=[(os.POSIX_SPAWN_OPEN, 0, "/dev/null", os.O_RDONLY, 0)])
            deadline = time.perf_counter() + 10
            while not watching(pid, ino) and time.perf_counter() < deadline:
                pass
            t0 = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
            fd = os.open(target, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
            os.write(fd, b"x" * 100)
            os.close(fd)
            os.waitpid(pid, 0)
            seen = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
            with open(stamps, "rb") as f:
                woken, decided, exited = (int.from_bytes(f.read(8), "little", signed=True) for _ in range(3))
            if woken and decided and exited:
                parts[c.name].append((woken - t0, decided - woken, exited - decided, seen - exited, seen - t0))
            reap(adopted())
            shutil.rmtree(d, ignore_errors=True)
    print("anatomy of the end, medians in µs (write→woken, woken→decision, decision→exit, exit→seen, total):")
    for c in cs:
        ps = parts[c.name]
        if ps:
            med = [statistics.median(p[i] for p in ps) / 1000 for i in range(5)]
            print(f"  {c.name:26s} " + "  ".join(f"{m:7.1f}" for m in med) + f"   (n={len(ps)})")


def close_cost(work, n):
    """n rounds of closecost.c: five columns of microseconds each."""
    exe = os.path.join(work, "closecost")
    subprocess.run(["cc", "-O2", "-o", exe, os.path.join(ROOT, "bench/closecost.c")], check=True)
    d = tempfile.mkdtemp(dir=work)
    out = subprocess.run([exe, d, str(n)], check=True, capture_output=True, text=True).stdout
    return list(zip(*[[float(x) for x in line.split()] for line in out.splitlines()]))


def print_close_cost(cols):
    def fig(xs):
        return (f"median {statistics.median(xs):.0f} µs, p90 {pct(xs, 90):.0f} µs, "
                f"p99 {pct(xs, 99):.0f} µs")
    close, watch, watch_off, bare, bare_off = cols
    print(f"closing an inotify instance with one watch, {len(close)} times: {fig(close)}, max {max(close):.0f} µs")
    print(f"ending a process, fork to waitpid: holding an instance with a watch {fig(watch)}")
    print(f"  handing that instance to the kernel first {fig(watch_off)}")
    print(f"  holding an instance without a watch (a cheap close) {fig(bare)}")
    print(f"  handing that instance to the kernel first {fig(bare_off)}")
    print(f"the hand-off's own cost where closing is cheap: "
          f"{statistics.median(bare_off) - statistics.median(bare):+.0f} µs at the median")


def plot(cs, path, work):
    """One CDF per contestant, log-scaled time, drawn by gnuplot."""
    gp = shutil.which("gnuplot")
    if not gp:
        print(f"note: gnuplot is not installed; {path} not drawn")
        return
    lines = []
    for i, c in enumerate(x for x in cs if x.latency):
        data = os.path.join(work, f"cdf{i}.dat")
        xs = sorted(c.latency)
        with open(data, "w") as f:
            for k, x in enumerate(xs):
                f.write(f"{x * 1000:.6f} {(k + 1) / len(xs):.6f}\n")
        lines.append(f"'{data}' using 1:2 with steps lw 2 title '{c.name} (n={len(xs)})'")
    script = "\n".join([
        "set terminal svg size 1000,520 dynamic enhanced font 'sans,12' background rgb 'white'",
        f"set output '{path}'",
        "set title 'Latency from a write to the waiter\\047s exit seen by waitpid'",
        "set logscale x 10",
        "set xrange [*:2000]",
        "set xlabel 'latency, ms (log scale)'",
        "set ylabel 'share of trials at or below'",
        "set yrange [0:1.02]",
        "set grid xtics mxtics ytics",
        "set key outside right top",
        "plot " + ", \\\n     ".join(lines),
    ])
    subprocess.run([gp], input=script, text=True, check=True)
    print(f"drew {path}")


def pct(xs, p):
    xs = sorted(xs)
    return xs[min(len(xs) - 1, int(round(p / 100 * (len(xs) - 1))))]


def ms(x):
    return "-" if x is None else f"{x * 1000:.2f}"


def table(cs, floor, kernel, helper, args):
    rows = [("", "n", "median ms", "p90 ms", "p99 ms", "max ms", "start ms", "peak KiB",
             "idle CPU ms", "storm CPU µs/write", "storm end ms", "parent storm µs/event", "left")]
    for c in cs:
        lat = c.latency or [float("nan")]
        rows.append((c.name, str(len(c.latency)), ms(statistics.median(lat)), ms(pct(lat, 90)),
                     ms(pct(lat, 99)), ms(max(lat)),
                     ms(statistics.median(c.startup)) if c.startup else "-",
                     str(max(c.rss)) if c.rss else "-",
                     f"{c.idle / 1e6:.3f}" if c.idle is not None else "-",
                     ("ended!" if c.storm_ended else f"{c.storm_cpu / 1e3 / args.storm:.3f}")
                     if c.storm_cpu is not None else "-",
                     ms(c.storm_latency),
                     f"{c.parent_cpu / 1e3 / args.parent_storm:.3f}" if c.parent_cpu is not None else "-",
                     str(c.left)))
    widths = [max(len(r[i]) for r in rows) for i in range(len(rows[0]))]
    for r in rows:
        print("  ".join(x.rjust(w) if i else x.ljust(w) for i, (x, w) in enumerate(zip(r, widths))))

    me = cs[0]
    def ratio(a, b):
        return f"{a / b:.2f}x" if a and b else "-"
    def latency(against, c=me):
        return (f"median {ratio(statistics.median(c.latency), statistics.median(against.latency))}, "
                f"p90 {ratio(pct(c.latency, 90), pct(against.latency, 90))}, "
                f"p99 {ratio(pct(c.latency, 99), pct(against.latency, 99))}")
    def versus(c, against):
        return (f"latency {latency(against, c)}, "
                f"start-up {ratio(statistics.median(c.startup), statistics.median(against.startup))}, "
                f"peak memory {ratio(max(c.rss), max(against.rss))}, "
                f"idle CPU {c.idle / 1e6:.3f} against {against.idle / 1e6:.3f} ms, "
                f"storm CPU {ratio(c.storm_cpu, against.storm_cpu)}")
    print()
    print(f"changewait against the floor: latency {latency(floor)}, "
          f"start-up {ratio(statistics.median(me.startup), statistics.median(floor.startup))}, "
          f"peak memory {ratio(max(me.rss), max(floor.rss))}, "
          f"storm CPU {ratio(me.storm_cpu, floor.storm_cpu)}")
    print(f"changewait against the kernel hand-off floor: latency {latency(kernel)}")
    print(f"changewait against the helper-process floor (clone): latency {latency(helper)}")
    gap = (statistics.median(me.latency) - statistics.median(floor.latency)) * 1e6
    print(f"changewait's median minus the floor's: {gap:+.0f} µs")
    for c in cs:
        if c.name == "changewait, previous":
            print(f"changewait against the previous one: {versus(me, c)}")
        if c.name == "changewait, static":
            print(f"the static program against the kernel hand-off floor: latency {latency(kernel, c)}")
            print(f"the static program against the dynamic one: {versus(c, me)}")
    print("processes alive at the exits: " + ", ".join(f"{c.name} {c.left}" for c in cs))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--quick", action="store_true", help="a short run, about a minute")
    ap.add_argument("--trials", type=int, help="latency trials (default 200, quick 30)")
    ap.add_argument("--binary", default=os.path.join(ROOT, "build/linux/changewait"))
    ap.add_argument("--previous", metavar="PATH", help="an earlier changewait binary to measure beside this one")
    ap.add_argument("--static", metavar="PATH", default=os.path.join(ROOT, "build/static/changewait"),
                    help="the statically linked program, measured beside where it is built (none: '')")
    ap.add_argument("--svg", help="where to draw the CDF (default build/latency-cdf.svg; none with --quick)")
    ap.add_argument("--fuse-trials", type=int, help="trials on the FUSE mount (default 100, quick 15)")
    ap.add_argument("--closes", type=int, default=300, help="rounds of inotify closes and ends to time (default 300)")
    args = ap.parse_args()
    if args.svg is None and not args.quick:
        args.svg = os.path.join(ROOT, "build/latency-cdf.svg")
    args.trials = args.trials or (30 if args.quick else 200)
    args.fuse_trials = args.fuse_trials or (15 if args.quick else 100)
    fuse_idle = 10 if args.quick else 60
    args.storm = 10000 if args.quick else 50000
    args.parent_storm = 10000 if args.quick else 50000
    idle = 2 if args.quick else 5

    signal.signal(signal.SIGALRM, timed_out)
    # Orphans of the waiters come to this process, so they can be counted.
    ctypes.CDLL(None, use_errno=True).prctl(36, 1)  # PR_SET_CHILD_SUBREAPER
    work = tempfile.mkdtemp(prefix="changewait-bench-")
    try:
        floor_bin = os.path.join(work, "floor")
        subprocess.run(["cc", "-O2", "-o", floor_bin, os.path.join(ROOT, "bench/floor.c")], check=True)
        sh = shutil.which("sh")
        cs = [Contestant("changewait", lambda d, f: [args.binary, f]),
              Contestant("floor (C, inotify)", lambda d, f: [floor_bin, f, d]),
              Contestant("floor, hand-off (kernel)", lambda d, f: [floor_bin, f, d, "kernel"]),
              Contestant("floor, hand-off (clone)", lambda d, f: [floor_bin, f, d, "clone"]),
              Contestant("floor, hand-off (fork)", lambda d, f: [floor_bin, f, d, "fork"])]
        if args.previous:
            cs.append(Contestant("changewait, previous", lambda d, f: [args.previous, f]))
        if args.static and os.path.exists(args.static):
            cs.append(Contestant("changewait, static", lambda d, f: [args.static, f]))
        if shutil.which("inotifywait"):
            loop = ('while :; do [ -s "$1" ] && exit 0; '
                    'inotifywait -qq -e create,modify,attrib,moved_to "$2" || exit 1; done')
            cs.append(Contestant("inotifywait loop", lambda d, f: [sh, "-c", loop, "sh", f, d]))
        for delay, every in (("0.1", 1), ("1", 10)):
            poll = f'until [ -s "$1" ]; do sleep {delay}; done'
            cs.append(Contestant(f"poll, sleep {delay}", lambda d, f, p=poll: [sh, "-c", p, "sh", f],
                                 inotify=False, every=every))
        print_close_cost(close_cost(work, args.closes))
        t0 = time.time()
        for _ in range(args.trials):
            startup_round(cs, work)
        for trial in range(args.trials):
            latency_round(cs, trial, work)
        idle_round(cs, idle, work)
        storm_round(cs, args.storm, work, 1 if args.quick else 3)
        parent_storm_round(cs, args.parent_storm, work)
        print(f"{args.trials} latency trials (slow pollers fewer), idle over {idle} s, "
              f"storms of {args.storm} writes and {args.parent_storm} parent events; "
              f"{os.cpu_count()} cores; {time.time() - t0:.0f} s")
        anatomy_round([cs[0], cs[2]], 30 if args.quick else 100, work)
        fuse = fuse_round([c for c in cs if "hand-off" not in c.name
                           and c.name not in ("changewait, previous", "changewait, static")],
                          args.fuse_trials, fuse_idle, work)
        print()
        table(cs, cs[1], cs[2], cs[3], args)
        if fuse:
            print()
            print_fuse([c for c in cs if c.name in fuse], fuse, fuse_idle)
        if args.svg:
            plot(cs, args.svg, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
