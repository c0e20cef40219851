"""A private PulseAudio server with a null sink, a recorder of what reaches it, and tone analysis.

    sound = SoundServer(processes, folder)        # clients find it through sound.client_env()
    recorder = sound.record()                     # parec on the null sink's monitor
    sound.stop(); sound.start()                   # away and back at the same socket
    heard_at = recorder.wait_for_tone(440, since=clicked_at, timeout=10)
    level = recorder.tone_level(440, start, end)  # dBFS of the 440 Hz component

The recording is mono s16le at 44.1 kHz. The null sink plays in real time, so sample n was played
at recorder.start + n / RATE; `start` is estimated from the arrival times of the recorded data
(the earliest arrival bounds the delay), good to a few tens of milliseconds.
"""

import array
import math
import os
import subprocess
import threading
import time

from processes import WaitTimeout, wait_until

RATE = 44100
SINK = "e2e"

# A block is 50 ms: a whole number of periods of 440 Hz (22), so Goertzel needs no window.
BLOCK = RATE // 20
# Heard: the tone's component above -40 dBFS and at least half of the block's energy.
TONE_FLOOR_DB = -40.0
# Silent: the whole block below -60 dBFS.
SILENCE_CEILING_DB = -60.0


def goertzel_amplitude(samples, frequency):
    """Amplitude (0..1 of full scale) of `frequency` in the int16 samples."""
    n = len(samples)
    if n == 0:
        return 0.0
    coefficient = 2.0 * math.cos(2.0 * math.pi * frequency / RATE)
    s1 = s2 = 0.0
    for sample in samples:
        s0 = sample + coefficient * s1 - s2
        s2, s1 = s1, s0
    power = s1 * s1 + s2 * s2 - coefficient * s1 * s2
    return 2.0 * math.sqrt(max(power, 0.0)) / n / 32768.0


def rms(samples):
    """Root mean square (0..1 of full scale) of the int16 samples."""
    if len(samples) == 0:
        return 0.0
    return math.sqrt(sum(s * s for s in samples) / len(samples)) / 32768.0


def decibels(amplitude):
    return 20.0 * math.log10(amplitude) if amplitude > 0 else float("-inf")


class SoundServer:
    """pulseaudio -n with only a native socket (anonymous) and a null sink as the default."""

    def __init__(self, processes, folder):
        self.processes = processes
        self.folder = os.path.join(folder, "pulse")
        os.makedirs(os.path.join(self.folder, "runtime"), mode=0o700)
        self.socket = os.path.join(self.folder, "native")
        self.script = os.path.join(self.folder, "default.pa")
        with open(self.script, "w") as file:
            file.write(
                f"load-module module-native-protocol-unix socket={self.socket} auth-anonymous=1\n"
                f"load-module module-null-sink sink_name={SINK} rate={RATE}\n"
                f"set-default-sink {SINK}\n"
            )
        self.start()

    def start(self):
        self.server = self.processes.start(
            "pulseaudio",
            [
                "pulseaudio",
                "-n",
                "-F",
                self.script,
                "--daemonize=no",
                "--exit-idle-time=-1",
                "--use-pid-file=no",
                "--disallow-exit",
                "--log-target=stderr",
            ],
            env=self._server_env(),
        )
        wait_until(self._answers, 20, "PulseAudio to answer")

    def stop(self):
        """Ends the server as a crash or a restart would; its clients lose their connection."""
        self.processes.stop(self.server)

    def pactl(self, *arguments):
        return subprocess.run(["pactl", *arguments], env=self.client_env(self._server_env()),
                              capture_output=True, check=True, timeout=10).stdout.decode()

    def _server_env(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith(("PULSE_", "DBUS_"))}
        env["HOME"] = self.folder
        env["XDG_RUNTIME_DIR"] = os.path.join(self.folder, "runtime")
        env["XDG_CONFIG_HOME"] = os.path.join(self.folder, "config")
        env.pop("DISPLAY", None)
        return env

    def _answers(self):
        if self.server.poll() is not None:
            raise RuntimeError("pulseaudio ended:\n" + self.processes.log("pulseaudio"))
        if not os.path.exists(self.socket):
            return False
        result = subprocess.run(
            ["pactl", "info"],
            env=self.client_env(self._server_env()),
            capture_output=True,
            timeout=10,
        )
        return result.returncode == 0 and f"Default Sink: {SINK}" in result.stdout.decode()

    def client_variables(self):
        """What a client's environment needs to find this server."""
        return {"PULSE_SERVER": "unix:" + self.socket}

    def client_env(self, base=None):
        """`base` (or this process's environment) with PULSE_SERVER pointing at this server."""
        return {**(os.environ if base is None else base), **self.client_variables()}

    def record(self, sink=SINK):
        """Starts recording a null sink's monitor; the Recorder ends with the process set."""
        return Recorder(self.processes, self.client_env(self._server_env()), sink)


class Recorder:
    """parec on the null sink's monitor, read by a thread into memory."""

    def __init__(self, processes, env, sink):
        self._lock = threading.Lock()
        self._data = bytearray()
        self._offset = None  # estimate of start: min(arrival - duration so far)
        self._processes = processes
        self._process = processes.start(
            "parec",
            [
                "parec",
                "-d",
                sink + ".monitor",
                "--raw",
                "--format=s16le",
                f"--rate={RATE}",
                "--channels=1",
                "--latency-msec=20",
            ],
            env=env,
            stdout=subprocess.PIPE,
        )
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        wait_until(lambda: self.samples() > 0, 10, "the first recorded samples")

    def _read(self):
        stream = self._process.stdout
        while True:
            chunk = os.read(stream.fileno(), 8192)
            if not chunk:
                return
            arrived = time.monotonic()
            with self._lock:
                self._data += chunk
                played_until = len(self._data) // 2 / RATE
                start = arrived - played_until
                if self._offset is None or start < self._offset:
                    self._offset = start

    def stop(self):
        """Ends the recording early, so that nothing keeps the sink at a recorder's short
        latency; what was recorded stays readable."""
        self._processes.stop(self._process)
        self._reader.join(timeout=5)
        self._process.stdout.close()

    def samples(self):
        with self._lock:
            return len(self._data) // 2

    def time_of(self, sample):
        """The monotonic time at which `sample` reached the sink."""
        with self._lock:
            return self._offset + sample / RATE

    def sample_at(self, moment):
        with self._lock:
            return max(0, int(round((moment - self._offset) * RATE)))

    def between(self, start, end, timeout=15):
        """The int16 samples played from monotonic time start to end (waiting for them)."""
        first, last = self.sample_at(start), self.sample_at(end)
        wait_until(lambda: self.samples() >= last, timeout + max(0, end - time.monotonic()),
                   "the recording to catch up")
        with self._lock:
            return array.array("h", bytes(self._data[first * 2 : last * 2]))

    def tone_level(self, frequency, start, end):
        """dBFS of the `frequency` component from start to end (monotonic times)."""
        return decibels(goertzel_amplitude(self.between(start, end), frequency))

    def level(self, start, end):
        """RMS dBFS from start to end."""
        return decibels(rms(self.between(start, end)))

    def _blocks(self, since, timeout, what):
        """Yields (start time, samples) of successive blocks from `since`, waiting for each;
        raises WaitTimeout once `timeout` seconds have passed since `since`."""
        deadline = since + timeout
        first = self.sample_at(since)
        while True:
            end = first + BLOCK
            while self.samples() < end:
                # The recording arrives a little after the sink plays it.
                if time.monotonic() > deadline + 0.5:
                    raise WaitTimeout(f"gave up after {timeout:.1f} s waiting for {what}")
                time.sleep(0.02)
            start_time = self.time_of(first)
            if start_time > deadline:
                raise WaitTimeout(f"gave up after {timeout:.1f} s waiting for {what}")
            with self._lock:
                samples = array.array("h", bytes(self._data[first * 2 : end * 2]))
            yield start_time, samples
            first = end

    def longest_silence(self, start, end):
        """The longest unbroken silence, in seconds, from start to end (monotonic times)."""
        samples, longest, run = self.between(start, end), 0, 0
        for first in range(0, len(samples) - BLOCK + 1, BLOCK):
            quiet = decibels(rms(samples[first : first + BLOCK])) < SILENCE_CEILING_DB
            run = run + 1 if quiet else 0
            longest = max(longest, run)
        return longest * BLOCK / RATE

    @staticmethod
    def heard(samples, frequency):
        """Whether the tone is heard in a block of samples."""
        tone = goertzel_amplitude(samples, frequency)
        return decibels(tone) > TONE_FLOOR_DB and tone * tone / 2 >= 0.5 * rms(samples) ** 2

    def wait_for_tone(self, frequency, since, timeout):
        """Monotonic time of the first block after `since` where the tone is heard."""
        for start, samples in self._blocks(since, timeout, f"a {frequency} Hz tone"):
            if self.heard(samples, frequency):
                return start

    def wait_for_silence(self, since, timeout, length=0.3):
        """Monotonic time at which `length` seconds of unbroken silence began after `since`."""
        run_start, run = None, 0
        for start, samples in self._blocks(since, timeout, f"{length} s of silence"):
            if decibels(rms(samples)) < SILENCE_CEILING_DB:
                if run_start is None:
                    run_start = start
                run += 1
                if run * BLOCK >= length * RATE:
                    return run_start
            else:
                run_start, run = None, 0
