#!/usr/bin/env python3
"""Player builds side by side, in one run, each on its own Xvfb, with the local site, inside a
private network namespace (re-runs itself under `unshare -n` with lo up):

  idle       RSS, private memory and threads of the player, processes of its tree; CPU of
             the tree over --idle seconds (all builds idle at the same time)
  start      process start to the update window on screen (median of --starts, taken in turn)
  sponsor    the sponsor window open with all four adverts' pictures on screen (read from
             the screen's pixels), then --after seconds after it closed: processes and
             distinct physical pages of the process tree; --cycles open-close cycles

Usage (as root, from the source folder):
  bench/sponsor/side_by_side.py [--shot FILE.png] NAME=BUILD_DIR [NAME=BUILD_DIR ...]
BUILD_DIR holds player/orbiq; the site comes from the last build given. Builds that show the
sponsor window without pictures (before the web engine) are measured idle and at start only
(--no-sponsor NAME).
"""
import argparse
import array
import ctypes
import ctypes.util
import os
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SITE_PORTS = (18080, 18081, 18082, 18083, 18084)
PAGE = os.sysconf("SC_PAGE_SIZE")
CLOCK_TICK = os.sysconf("SC_CLK_TCK")
# The stand-in site's advert screens (site::AdvertScreenColour) and the style sheet's background.
ADVERT_SCREENS = (0x2090E0, 0xE05A20, 0x30B050, 0xB040C0)
ADVERT_BACKGROUND = 0x1B2330
SPONSOR_BUTTON = (304 + 12, 464 + 12)  # the centre of 超级按钮2 in MainWindow


# ---------- processes ----------
def children_map():
    kids = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        ppid = int(stat[stat.rindex(")") + 2:].split()[1])
        kids.setdefault(ppid, []).append(int(name))
    return kids


def tree(pid):
    kids = children_map()
    out, todo = [], [pid]
    while todo:
        p = todo.pop()
        out.append(p)
        todo.extend(kids.get(p, []))
    return out


def status_field(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key):
                return int(line.split()[1])
    return 0


def rollup(pid):
    values = {}
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 3 and parts[2] == "kB":
                values[parts[0].rstrip(":")] = int(parts[1])
    return values


def cpu_ticks(pids):
    total = 0
    for p in pids:
        try:
            with open(f"/proc/{p}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        total += int(fields[11]) + int(fields[12])  # utime, stime
    return total


def distinct_pages(pids):
    """Physical pages mapped by any of pids, each counted once (needs root for the frame numbers)."""
    frames = set()
    for p in pids:
        try:
            regions = []
            with open(f"/proc/{p}/smaps") as f:
                start = end = None
                for line in f:
                    head = line.split()[0]
                    if "-" in head and not head.endswith(":"):
                        a, b = head.split("-")
                        start, end = int(a, 16), int(b, 16)
                    elif head == "Rss:" and int(line.split()[1]) > 0:
                        regions.append((start, end))
            with open(f"/proc/{p}/pagemap", "rb") as pm:
                for start, end in regions:
                    pm.seek(start // PAGE * 8)
                    entries = array.array("Q")
                    entries.frombytes(pm.read((end - start) // PAGE * 8))
                    frames.update(e & ((1 << 55) - 1) for e in entries if e >> 63)
        except OSError:
            continue
    return len(frames) * PAGE


def memory_of_tree(pid):
    pids = tree(pid)
    rss = pss = 0
    for p in pids:
        try:
            rss += status_field(p, "VmRSS:")
            pss += rollup(p).get("Pss", 0)
        except OSError:
            pass
    return {"processes": len(pids), "distinct": distinct_pages(pids) / 2**20, "rss_sum": rss / 1024,
            "pss_sum": pss / 1024}


def idle_figures(pid):
    r = rollup(pid)
    return {"rss": status_field(pid, "VmRSS:") / 1024,
            "private": (r.get("Private_Clean", 0) + r.get("Private_Dirty", 0)) / 1024,
            "threads": status_field(pid, "Threads:"), "processes": len(tree(pid))}


# ---------- X ----------
class XMapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", XMapEvent), ("pad", ctypes.c_long * 24)]


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("rest", ctypes.c_long * 16)]


X11 = ctypes.CDLL(ctypes.util.find_library("X11"))
X11.XOpenDisplay.restype = ctypes.c_void_p
X11.XOpenDisplay.argtypes = [ctypes.c_char_p]
X11.XDefaultRootWindow.restype = ctypes.c_ulong
X11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
X11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
X11.XPending.argtypes = [ctypes.c_void_p]
X11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
X11.XConnectionNumber.argtypes = [ctypes.c_void_p]
X11.XFlush.argtypes = [ctypes.c_void_p]
X11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(XWindowAttributes)]
X11.XCloseDisplay.argtypes = [ctypes.c_void_p]
MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY = 1 << 19


class Screen:
    """An Xvfb of its own; tells when top-level windows are mapped."""

    def __init__(self, number):
        self.name = f":{number}"
        self.xvfb = subprocess.Popen(["Xvfb", self.name, "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            self.dpy = X11.XOpenDisplay(self.name.encode())
            if self.dpy:
                break
            time.sleep(0.05)
        else:
            raise SystemExit(f"Xvfb {self.name} did not start")
        X11.XSelectInput(self.dpy, X11.XDefaultRootWindow(self.dpy), SUBSTRUCTURE_NOTIFY)
        X11.XFlush(self.dpy)

    def drain(self):
        ev = XEvent()
        while X11.XPending(self.dpy):
            X11.XNextEvent(self.dpy, ctypes.byref(ev))

    def geometry(self, window):
        a = XWindowAttributes()
        if not X11.XGetWindowAttributes(self.dpy, window, ctypes.byref(a)):
            return None
        return a.x, a.y, a.width, a.height

    def wait_map(self, want, timeout):
        """The next mapped top-level window for which want(width, height); (window, time) or None."""
        ev = XEvent()
        deadline = time.monotonic() + timeout
        fd = X11.XConnectionNumber(self.dpy)
        while True:
            while X11.XPending(self.dpy):
                X11.XNextEvent(self.dpy, ctypes.byref(ev))
                if ev.type == MAP_NOTIFY and not ev.xmap.override_redirect:
                    at = time.monotonic()
                    g = self.geometry(ev.xmap.window)
                    if g and want(g[2], g[3]):
                        return ev.xmap.window, at
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            select.select([fd], [], [], left)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=dict(os.environ, DISPLAY=self.name), check=False,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def key(self, window, key):
        self.xdotool("windowfocus", "--sync", window)
        self.xdotool("key", key)

    def click(self, window, x, y):
        self.xdotool("mousemove", "--window", window, x, y, "click", 1)

    def pixels(self):
        """The root window as (width, height, rgb bytes)."""
        ppm = subprocess.run(["import", "-display", self.name, "-window", "root", "-depth", "8", "ppm:-"], capture_output=True,
                             check=False).stdout
        if not ppm.startswith(b"P6"):
            return None
        fields, at = [], 2
        while len(fields) < 3:
            while ppm[at:at + 1].isspace():
                at += 1
            end = at
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(int(ppm[at:end]))
            at = end
        return fields[0], fields[1], ppm[at + 1:]

    def close(self):
        X11.XCloseDisplay(self.dpy)
        self.xvfb.terminate()
        self.xvfb.wait()


def near(rgb, want):
    return sum(abs((rgb >> s & 0xFF) - (want >> s & 0xFF)) for s in (16, 8, 0)) <= 24


# ---------- one player ----------
class Player:
    def __init__(self, name, build, screen):
        self.name, self.build, self.screen = name, build, screen
        self.proc = None
        self.main = None

    def launch(self):
        self.screen.drain()
        env = dict(os.environ, DISPLAY=self.screen.name)
        env.pop("QT_QPA_PLATFORM", None)
        started = time.monotonic()
        self.proc = subprocess.Popen([os.path.join(self.build, "player", "orbiq")], env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        found = self.screen.wait_map(lambda w, h: (w, h) == (416, 288), 60)
        if not found:
            raise RuntimeError(f"{self.name}: no update window")
        return found[0], found[1] - started

    def start_to_main_window(self):
        update, seconds = self.launch()
        self.screen.key(update, "Escape")
        found = self.screen.wait_map(lambda w, h: w >= 700, 60)
        if not found:
            raise RuntimeError(f"{self.name}: no main window")
        self.main = found[0]
        return seconds

    def stop(self):
        if self.proc:
            for p in tree(self.proc.pid):
                try:
                    os.kill(p, 9)
                except OSError:
                    pass
            self.proc.wait()
            self.proc = None

    def open_sponsor(self, timeout=60):
        """Opens the sponsor window; (window, seconds until every picture shows) or None."""
        self.screen.drain()
        self.screen.click(self.main, *SPONSOR_BUTTON)
        box = self.screen.wait_map(lambda w, h: True, 20)
        if not box:
            raise RuntimeError(f"{self.name}: no message box")
        clicked = time.monotonic()
        self.screen.key(box[0], "Return")
        found = self.screen.wait_map(lambda w, h: w == 290, 20)
        if not found:
            raise RuntimeError(f"{self.name}: no sponsor window")
        window = found[0]
        while time.monotonic() - clicked < timeout:
            if self.adverts_shown(window):
                return window, time.monotonic() - clicked
            time.sleep(0.25)
        self.adverts_shown(window, report=True)
        return window, None

    def adverts_shown(self, window, report=False):
        g = self.screen.geometry(window)
        shot = self.screen.pixels()
        if not g or not shot:
            return False
        width, _, data = shot

        def rgb(x, y):
            o = (y * width + x) * 3
            return data[o] << 16 | data[o + 1] << 8 | data[o + 2]
        for i, screen in enumerate(ADVERT_SCREENS):
            left, top = g[0] + 8, g[1] + 8 + 120 * i
            if not (near(rgb(left + 56, top + 56), screen) and near(rgb(left + 262, top + 4), ADVERT_BACKGROUND)):
                if report:
                    print(f"    advert {i + 1} at {left},{top}: {rgb(left + 56, top + 56):06x} {rgb(left + 262, top + 4):06x}")
                return False
        return True


def median(values):
    return statistics.median(values) if values else float("nan")


def machine_load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("builds", nargs="+", help="NAME=BUILD_DIR")
    ap.add_argument("--starts", type=int, default=10)
    ap.add_argument("--idle", type=int, default=60)
    ap.add_argument("--settle", type=int, default=10, help="seconds after the main window before idle figures")
    ap.add_argument("--cycles", type=int, default=2)
    ap.add_argument("--after", type=int, default=10)
    ap.add_argument("--no-sponsor", action="append", default=[])
    ap.add_argument("--shot", help="PNG of the screen with the sponsor window open (last build)")
    args = ap.parse_args()

    if os.environ.get("ORBIQ_BENCH_NETNS") != "1":
        os.environ["ORBIQ_BENCH_NETNS"] = "1"
        os.execvp("unshare", ["unshare", "-n", sys.executable, os.path.abspath(__file__), *sys.argv[1:]])
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)

    builds = [b.split("=", 1) for b in args.builds]
    site = subprocess.Popen([os.path.join(builds[-1][1], "site", "orbiq-site")], stdout=subprocess.DEVNULL)
    time.sleep(0.5)
    if site.poll() is not None:
        raise SystemExit("the site did not start")
    free = [n for n in range(180, 260) if not os.path.exists(f"/tmp/.X{n}-lock")]
    screens = [Screen(n) for n in free[:len(builds)]]
    players = [Player(n, os.path.abspath(d), s) for (n, d), s in zip(builds, screens)]
    print(f"machine load (1/5/15 min) at start: {machine_load()}; {os.cpu_count()} cores", flush=True)
    try:
        # Start-up, in turn.
        starts = {p.name: [] for p in players}
        for _ in range(args.starts):
            for p in players:
                _, seconds = p.launch()
                starts[p.name].append(seconds)
                p.stop()
        print(f"\nstart to update window (median of {args.starts}; min, max); load {machine_load()}")
        for p in players:
            s = starts[p.name]
            print(f"  {p.name:10s} {median(s):.3f} s   ({min(s):.3f}, {max(s):.3f})")

        # Idle, all at once.
        for p in players:
            p.start_to_main_window()
        time.sleep(args.settle)
        before = {p.name: cpu_ticks(tree(p.proc.pid)) for p in players}
        t0 = time.monotonic()
        time.sleep(args.idle)
        spent = time.monotonic() - t0
        after = {p.name: cpu_ticks(tree(p.proc.pid)) for p in players}
        # Taken at the end, when thread pools have let their idle threads go (30 s).
        idle = {p.name: idle_figures(p.proc.pid) for p in players}
        print(f"\nidle, main window up with the site: CPU from {args.settle} s to {args.settle + args.idle} s after it"
              f" showed, memory and threads at the end; load {machine_load()}")
        print(f"  {'build':10s} {'RSS MiB':>8s} {'private':>8s} {'threads':>8s} {'procs':>6s} {'CPU % of a core':>16s}")
        for p in players:
            f = idle[p.name]
            cpu = (after[p.name] - before[p.name]) / CLOCK_TICK / spent * 100
            print(f"  {p.name:10s} {f['rss']:8.1f} {f['private']:8.1f} {f['threads']:8d} {f['processes']:6d} {cpu:16.2f}")

        # The sponsor window, one build at a time.
        print(f"\nsponsor window: processes, distinct pages of the process tree (RSS and PSS summed beside)")
        for p in players:
            if p.name in args.no_sponsor:
                continue
            for cycle in range(1, args.cycles + 1):
                window, seconds = p.open_sponsor()
                time.sleep(2)
                m = memory_of_tree(p.proc.pid)
                shown = f"pictures on screen after {seconds:.1f} s" if seconds is not None else "PICTURES NOT SHOWN"
                print(f"  {p.name:10s} cycle {cycle} open    {m['processes']:2d} processes {m['distinct']:7.1f} MiB"
                      f"   (RSS {m['rss_sum']:.0f}, PSS {m['pss_sum']:.0f})  {shown}; load {machine_load()}",
                      flush=True)
                if args.shot and p is players[-1] and cycle == 1:
                    subprocess.run(["import", "-display", p.screen.name, "-window", "root", args.shot], check=False)
                p.screen.key(window, "Escape")
                time.sleep(args.after)
                m = memory_of_tree(p.proc.pid)
                print(f"  {p.name:10s} cycle {cycle} closed  {m['processes']:2d} processes {m['distinct']:7.1f} MiB"
                      f"   (RSS {m['rss_sum']:.0f}, PSS {m['pss_sum']:.0f})  {args.after} s after closing", flush=True)
    finally:
        for p in players:
            p.stop()
        for s in screens:
            s.close()
        site.terminate()
        site.wait()
    print(f"\nmachine load at the end: {machine_load()}")


if __name__ == "__main__":
    main()
