"""What Linux says about a running process, from /proc: CPU time, memory, context switches.

CPU time is utime + stime from /proc/PID/stat (whole process) or /proc/PID/task/TID/stat (one
thread), in clock ticks turned into seconds. Wakeups are voluntary plus involuntary context
switches, summed over the threads alive at the time of reading: a thread that ends between two
readings takes its count with it.
"""

import os

_TICK = 1.0 / os.sysconf("SC_CLK_TCK")


def _stat_fields(path):
    with open(path) as file:
        text = file.read()
    # The command name may hold spaces and parentheses; the fields start after the last ')'.
    return text[text.rindex(")") + 2 :].split()


def cpu_seconds(pid, tid=None):
    """User + system CPU seconds of the process, or of one of its threads."""
    path = f"/proc/{pid}/stat" if tid is None else f"/proc/{pid}/task/{tid}/stat"
    fields = _stat_fields(path)
    return (int(fields[11]) + int(fields[12])) * _TICK  # utime, stime (fields 14, 15)


def threads(pid):
    """{tid: name} of the process's threads now."""
    found = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/comm") as file:
                found[int(tid)] = file.read().strip()
        except OSError:
            pass  # ended while we looked
    return found


def thread_cpu(pid):
    """{(tid, name): CPU seconds} of every thread alive now."""
    result = {}
    for tid, name in threads(pid).items():
        try:
            result[(tid, name)] = cpu_seconds(pid, tid)
        except OSError:
            pass
    return result


def _status(path):
    fields = {}
    with open(path) as file:
        for line in file:
            key, _, value = line.partition(":")
            fields[key] = value.strip()
    return fields


def memory_mb(pid, field):
    """A memory line of /proc/PID/status ("VmRSS", "VmHWM"...) in MB (10^6 bytes)."""
    value = _status(f"/proc/{pid}/status")[field]
    return int(value.split()[0]) * 1024 / 1e6


def private_mb(pid):
    """Private memory in MB: the Private_* lines of /proc/PID/smaps_rollup, the resident pages
    that no other process shares."""
    total_kb = 0
    with open(f"/proc/{pid}/smaps_rollup") as file:
        for line in file:
            if line.startswith("Private_"):
                total_kb += int(line.split()[1])
    return total_kb * 1024 / 1e6


def context_switches(pid, tid=None):
    """Voluntary + involuntary context switches of all threads alive now, or of one thread."""
    tids = [tid] if tid is not None else list(threads(pid))
    total = 0
    for each in tids:
        try:
            status = _status(f"/proc/{pid}/task/{each}/status")
        except OSError:
            continue
        total += int(status["voluntary_ctxt_switches"]) + int(status["nonvoluntary_ctxt_switches"])
    return total
