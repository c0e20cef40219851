"""A private D-Bus bus for one test, and the command-line clients that talk on it.

    bus = SessionBus(processes, folder)
    system = SessionBus(processes, folder, "system", system=True)   # DBUS_SYSTEM_BUS_ADDRESS
    player = Player(session, desktop, stations, env=bus.variables())
    bus.run(["playerctl", "-p", "wavelark", "status"])       # its stdout, stripped

The daemon listens in the test's own folder, starts no service of the machine's (no service
folders in its configuration) and ends with the process set.

    bus.start_accessibility(desktop.env())   # the AT-SPI bus, switched on as a screen reader does
"""

import os
import re
import select
import subprocess
import time

from processes import wait_until

AT_SPI_BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"

_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir={folder}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


class SessionBus:
    def __init__(self, processes, folder, name="bus", system=False):
        self.processes = processes
        self.system = system
        self.folder = os.path.join(folder, name)
        os.makedirs(self.folder)
        config = os.path.join(self.folder, "bus.conf")
        with open(config, "w") as file:
            file.write(_CONFIG.format(folder=self.folder))
        read_end, write_end = os.pipe()
        try:
            self.daemon = processes.start(
                name,
                ["dbus-daemon", f"--config-file={config}", "--nofork", "--nopidfile",
                 f"--print-address={write_end}"],
                pass_fds=(write_end,),
            )
            os.close(write_end)
            write_end = None
            address, deadline = b"", time.monotonic() + 20
            while not address.endswith(b"\n"):
                ready, _, _ = select.select([read_end], [], [], max(0, deadline - time.monotonic()))
                chunk = os.read(read_end, 256) if ready else b""
                if not chunk:
                    break
                address += chunk
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)
        self.address = address.decode().strip()
        if not self.address:
            raise RuntimeError("dbus-daemon did not start:\n" + processes.log(name))

    def variables(self):
        """What a client's environment needs to use this bus."""
        return {("DBUS_SYSTEM_BUS_ADDRESS" if self.system else "DBUS_SESSION_BUS_ADDRESS"):
                self.address}

    def env(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith("DBUS_")}
        return {**env, **self.variables()}

    def run(self, argv, check=True):
        """Runs a client on this bus (bounded) and returns its stripped stdout."""
        result = subprocess.run(argv, env=self.env(), stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=20)
        if check and result.returncode != 0:
            raise RuntimeError(f"{' '.join(argv)} failed: {result.stderr.decode(errors='replace')}")
        return result.stdout.decode("utf-8", "replace").strip()

    def start(self, name, argv):
        """Starts a long-running client (dbus-monitor, a mock service) with its output in
        <folder>/<name>.log, ended with the process set."""
        return self.processes.start(name, argv, env=self.env())

    def start_accessibility(self, desktop_env):
        """Starts the AT-SPI accessibility bus for this session with accessibility switched on
        (org.a11y.Status IsEnabled, which a screen reader sets and toolkits watch) and returns
        its address. Settings stay in memory; the launcher's own bus ends with the launcher."""
        env = {**desktop_env, **self.variables(), "GSETTINGS_BACKEND": "memory",
               "XDG_RUNTIME_DIR": self.folder}
        self.processes.start("at-spi-bus-launcher",
                             [AT_SPI_BUS_LAUNCHER, "--launch-immediately", "--a11y=1"], env=env)
        call = ["gdbus", "call", "--session", "-d", "org.a11y.Bus", "-o", "/org/a11y/bus", "-m"]

        def address():
            found = re.search(r"'([^']+)'", self.run(call + ["org.a11y.Bus.GetAddress"], False))
            return found and found.group(1)

        self.accessibility_address = wait_until(address, 20, "the accessibility bus")
        return self.accessibility_address
