#!/usr/bin/python3
"""The program in a Wayland session: under a headless mutter with XWayland it
starts on X11, its window appears, a selection dragged out of it lands in a
native Wayland window, and it closes with exit code 0.

Usage: wayland_smoke_test.py PROGRAM

Input goes in at the compositor, through its remote desktop interface, as a
user's hands would: input sent through XWayland would not move the
compositor's pointer. The session (bus, compositor, sound server, the drop
target and the program) lives in a scratch folder and ends with the test.
"""
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path
from urllib.parse import unquote, urlparse

from gi.repository import Gio, GLib

HERE = Path(__file__).resolve().parent
MONITOR_WIDTH, MONITOR_HEIGHT = 1600, 1000
# Well inside the drop target, clear of the program's window and its frame near the top left.
DROP_X, DROP_Y = MONITOR_WIDTH - 100, MONITOR_HEIGHT - 100
FRAME_MARGIN = 60  # pixels of title bar and border the compositor draws around the window
SESSION_DEADLINE = 150  # seconds for the whole session, start-up included
STEP_DEADLINE = 30  # seconds for any one thing awaited
BTN_LEFT = 0x110  # the kernel's code for the left button
KEYSYM_ALT_L, KEYSYM_F4 = 0xFFE9, 0xFFC1


STARTED = time.monotonic()


def log(text):
    print("%7.2f s  %s" % (time.monotonic() - STARTED, text), flush=True)


def wait_for(what, check, deadline=STEP_DEADLINE, every=0.05):
    """Polls `check` until it returns something true; fails the test naming `what` after `deadline` seconds."""
    end = time.monotonic() + deadline
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("no %s within %d s" % (what, deadline))
        time.sleep(every)


# ---------------------------------------------------------------- outside the session

def ensure_x11_socket_folder():
    """XWayland's socket folder as a desktop system sets it up (writable by all, sticky); mutter
    refuses any other, yet creates one under the umask itself where a machine has none."""
    folder = Path("/tmp/.X11-unix")
    try:
        folder.mkdir(exist_ok=True)
        if folder.stat().st_uid == os.getuid() and (folder.stat().st_mode & 0o7777) != 0o1777:
            folder.chmod(0o1777)
    except OSError as error:
        print("cannot prepare %s: %s" % (folder, error), flush=True)


def run_session(program):
    """Starts a private bus and the compositor with this script inside them; answers the exit code."""
    ensure_x11_socket_folder()
    scratch = Path(tempfile.mkdtemp(prefix="wavelift-wayland-"))
    runtime = scratch / "runtime"
    runtime.mkdir(mode=0o700)
    env = {"PATH": "/usr/bin:/bin", "HOME": str(scratch / "home"), "XDG_RUNTIME_DIR": str(runtime),
           "XDG_CONFIG_HOME": str(scratch / "home" / "config"), "LANG": "C.UTF-8"}
    result = scratch / "result"
    argv = ["dbus-run-session", "--", "mutter", "--headless", "--wayland",
            "--virtual-monitor", "%dx%d" % (MONITOR_WIDTH, MONITOR_HEIGHT), "--",
            "/usr/bin/python3", str(Path(__file__).resolve()), "--inside", program, str(scratch)]
    session = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, start_new_session=True)
    try:
        session.wait(SESSION_DEADLINE)
    except subprocess.TimeoutExpired:
        print("the session ran past %d s" % SESSION_DEADLINE, flush=True)
        os.killpg(session.pid, signal.SIGKILL)
        session.wait()
    code = int(result.read_text()) if result.exists() else 1
    if code == 0:
        shutil.rmtree(scratch, ignore_errors=True)
    else:
        print("kept for a look: %s" % scratch, flush=True)
    return code


# ---------------------------------------------------------------- inside the session

class Children:
    """Processes started by the test, ended in reverse order."""

    def __init__(self):
        self.started = []

    def start(self, argv, env, **options):
        child = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, **options)
        self.started.append(child)
        return child

    def end_all(self):
        for child in reversed(self.started):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(5)
                except subprocess.TimeoutExpired:
                    child.kill()
                    child.wait()


class Pointer:
    """The compositor's pointer and keyboard, driven through a remote desktop session."""

    def __init__(self):
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        self.session = self.call("/org/gnome/Mutter/RemoteDesktop", "org.gnome.Mutter.RemoteDesktop",
                                 "CreateSession", None)[0]
        self.session_call("Start", "()")
        # Against the top-left corner: from there every position is known.
        self.move_by(-2 * MONITOR_WIDTH, -2 * MONITOR_HEIGHT)
        self.x, self.y = 0, 0

    def call(self, path, interface, method, parameters):
        reply = self.bus.call_sync("org.gnome.Mutter.RemoteDesktop", path, interface, method, parameters,
                                   None, 0, STEP_DEADLINE * 1000, None)
        return reply.unpack() if reply else ()

    def session_call(self, method, signature, *values):
        self.call(self.session, "org.gnome.Mutter.RemoteDesktop.Session", method,
                  GLib.Variant(signature, values))

    def move_by(self, dx, dy):
        self.session_call("NotifyPointerMotionRelative", "(dd)", float(dx), float(dy))

    def glide_to(self, x, y, step=8, pause=0.015):
        """Moves in small steps, as a hand does."""
        x0, y0 = self.x, self.y
        steps = max(1, max(abs(x - x0), abs(y - y0)) // step)
        for i in range(1, steps + 1):
            nx, ny = x0 + (x - x0) * i // steps, y0 + (y - y0) * i // steps
            self.move_by(nx - self.x, ny - self.y)
            self.x, self.y = nx, ny
            time.sleep(pause)

    def button(self, pressed):
        self.session_call("NotifyPointerButton", "(ib)", BTN_LEFT, pressed)
        time.sleep(0.1)

    def keys(self, *keysyms):
        for keysym in keysyms:
            self.session_call("NotifyKeyboardKeysym", "(ub)", keysym, True)
        for keysym in reversed(keysyms):
            self.session_call("NotifyKeyboardKeysym", "(ub)", keysym, False)

    def stop(self):
        self.session_call("Stop", "()")


def read_line(stream, what):
    """The child's next output line, within the step deadline."""
    if not select.select([stream], [], [], STEP_DEADLINE)[0]:
        raise AssertionError("no %s within %d s" % (what, STEP_DEADLINE))
    return stream.readline().strip()


def window_geometry(display, title):
    """The viewable X window called `title`: its inside's left, top, width and height on the screen."""
    info = subprocess.run(["xwininfo", "-display", display, "-name", title], capture_output=True, text=True)
    if info.returncode != 0 or "IsViewable" not in info.stdout:
        return None
    fields = {}
    for line in info.stdout.splitlines():
        name, _, value = line.strip().partition(":")
        fields[name] = value.strip()
    return tuple(int(fields[name]) for name in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))


def wav_files(folder):
    return sorted(folder.glob("*.wav")) if folder.is_dir() else []


def start_sound_server(children, scratch, env):
    """A private sound server whose default output is a silent null sink, its monitor running."""
    script = scratch / "server.pa"
    socket = scratch / "pulse.socket"
    script.write_text("load-module module-native-protocol-unix auth-anonymous=1 socket=%s\n"
                      "load-module module-null-sink sink_name=smoke rate=48000 channels=2\n"
                      "set-default-sink smoke\n" % socket)
    children.start(["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                    "--use-pid-file=no", "-F", str(script)], env, stderr=subprocess.DEVNULL)
    env["PULSE_SERVER"] = "unix:%s" % socket
    wait_for("sound server", lambda: subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode == 0)
    # An idle null sink's monitor starts late; a reader keeps it going.
    children.start(["parec", "--device=smoke.monitor"], env, stdout=subprocess.DEVNULL)


def inside(program, scratch):
    display, wayland = os.environ.get("DISPLAY", ""), os.environ.get("WAYLAND_DISPLAY", "")
    log("session up: WAYLAND_DISPLAY=%s DISPLAY=%s" % (wayland, display))
    assert display and wayland, "the compositor gave no X display or Wayland display"
    home = Path(os.environ["HOME"])
    home.mkdir(parents=True, exist_ok=True)
    env = dict(os.environ)
    children = Children()
    try:
        start_sound_server(children, scratch, env)

        # A native Wayland window over the whole work area, beneath the program's.
        target = children.start(["/usr/bin/python3", str(HERE / "drop_target.py"), "--maximize"],
                                dict(env, GDK_BACKEND="wayland"), stdout=subprocess.PIPE, text=True)
        ready = read_line(target.stdout, "drop target")
        assert ready.startswith("ready"), "the drop target did not start: %r" % ready
        log("drop target up on Wayland: %s" % ready)

        started = time.monotonic()
        app = children.start(["/bin/sh", "-c", 'exec "$0" 2>"$1"', program, str(scratch / "stderr.txt")],
                             dict(env, LIBGL_ALWAYS_SOFTWARE="1"))
        left, top, width, height = wait_for("program window on the X display",
                                            lambda: window_geometry(display, "Wavelift"))
        log("program window appeared after %.2f s at %d,%d size %dx%d"
            % (time.monotonic() - started, left, top, width, height))
        assert not (left - FRAME_MARGIN <= DROP_X < left + width + FRAME_MARGIN and
                    top - FRAME_MARGIN <= DROP_Y < top + height + FRAME_MARGIN), "the window covers the drop spot"

        pointer = Pointer()
        log("remote desktop session started")
        # The waveform fills the window's middle; select a stretch of it, then drag the stretch out.
        lane_y = top + height // 2 - 40
        from_x, to_x = left + width // 2 - 150, left + width // 2 + 150
        time.sleep(1.0)  # a second of history to select from
        pointer.glide_to(from_x, lane_y, step=40)
        pointer.button(True)
        pointer.glide_to(to_x, lane_y)
        pointer.button(False)
        time.sleep(0.3)
        pointer.glide_to((from_x + to_x) // 2, lane_y)
        pointer.button(True)
        pointer.glide_to((from_x + to_x) // 2 + 20, lane_y - 20, step=4)
        save_folder = home / "Music" / "Wavelift"
        written = wait_for("file written by the drag-out", lambda: wav_files(save_folder))
        log("drag-out began with %s" % written[0].name)
        pointer.glide_to(DROP_X, DROP_Y, step=40, pause=0.03)
        pointer.glide_to(DROP_X + 5, DROP_Y + 5)
        time.sleep(0.3)
        released = time.monotonic()
        pointer.button(False)

        uri = read_line(target.stdout, "drop in the Wayland window")
        log("the Wayland window received %s after %.2f s" % (uri, time.monotonic() - released))
        assert uri.startswith("file://") and Path(unquote(urlparse(uri).path)) == written[0], uri
        assert written[0].is_file(), "the dropped file is gone"

        pointer.keys(KEYSYM_ALT_L, KEYSYM_F4)
        asked = time.monotonic()
        wait_for("program exit after Alt+F4", lambda: app.poll() is not None)
        code = app.returncode
        log("program closed after %.2f s with exit code %d" % (time.monotonic() - asked, code))
        pointer.stop()
        errors = (scratch / "stderr.txt").read_text(errors="replace")
        assert code == 0, "exit code %d; its standard error: %s" % (code, errors)
        return 0
    finally:
        children.end_all()


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--inside":
        code = 1
        try:
            code = inside(sys.argv[2], Path(sys.argv[3]))
        except AssertionError as failure:
            log("FAILED: %s" % failure)
        (Path(sys.argv[3]) / "result").write_text(str(code))
        return code
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    code = run_session(os.path.abspath(sys.argv[1]))
    print("PASSED" if code == 0 else "FAILED", flush=True)
    return code


if __name__ == "__main__":
    sys.exit(main())
