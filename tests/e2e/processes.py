"""Child processes that are always ended, and bounded waits.

Every helper of the end-to-end harness starts its programs through one ProcessSet, which keeps
their PIDs and ends each of them (SIGTERM, then SIGKILL) when the set is closed, whatever went
wrong before. Nothing is ever ended by name: other people run the same tools on this machine.
"""

import os
import signal
import socket
import subprocess
import time


class WaitTimeout(AssertionError):
    """A bounded wait ran out; the message says what was awaited."""


def wait_until(condition, timeout, what, interval=0.05):
    """Calls condition() until it returns something truthy and returns that value.

    Raises WaitTimeout after `timeout` seconds. Every wait in the suite goes through here, so no
    test sleeps for a guessed time and none can hang.
    """
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise WaitTimeout(f"gave up after {timeout:.1f} s waiting for {what}")
        time.sleep(interval)


def free_port():
    """A TCP port on 127.0.0.1 that nobody listens on right now."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class ProcessSet:
    """Starts programs with their output in log files and ends them all by PID on close()."""

    def __init__(self, log_folder):
        self.log_folder = log_folder
        self._running = []  # (name, Popen), in start order

    def start(self, name, argv, env=None, cwd=None, pass_fds=(), stdout=None):
        """Starts argv; stderr (and stdout unless given) go to <log_folder>/<name>.log."""
        log = open(os.path.join(self.log_folder, name + ".log"), "ab")
        try:
            process = subprocess.Popen(
                argv,
                env=env,
                cwd=cwd,
                pass_fds=pass_fds,
                stdin=subprocess.DEVNULL,
                stdout=log if stdout is None else stdout,
                stderr=log,
            )
        finally:
            log.close()
        self._running.append((name, process))
        return process

    def stop(self, process, grace=5.0):
        """Ends one process: SIGTERM, then SIGKILL after `grace` seconds. Returns its exit code."""
        self._running = [(n, p) for n, p in self._running if p is not process]
        if process.poll() is None:
            try:
                process.send_signal(signal.SIGTERM)
                return process.wait(timeout=grace)
            except subprocess.TimeoutExpired:
                process.kill()
        try:
            return process.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            return None

    def forget(self, process):
        """Stops tracking a process that ended by itself (its exit was the point of a test)."""
        self._running = [(n, p) for n, p in self._running if p is not process]

    def close(self):
        """Ends every process still tracked, the most recently started first."""
        while self._running:
            self.stop(self._running[-1][1])

    def log(self, name):
        """The log text of the program started under `name` so far."""
        try:
            with open(os.path.join(self.log_folder, name + ".log"), "rb") as log:
                return log.read().decode("utf-8", "replace")
        except OSError:
            return ""
