#!/usr/bin/env python3
"""End-to-end checks that qping keeps no privilege once its raw socket is open.

Usage: privilege_test.py QPING CASE. Runs as root: each case installs a copy of
the binary in a fresh directory (with a file capability, set-user-ID, or
nothing), runs it against 127.0.0.1, and reads the process's credentials from
/proc in the pause after a reply.
"""
import os
import pwd
import shutil
import stat
import subprocess
import sys
import tempfile

RUN_LIMIT_S = 20
SKIP = 77
NO_CAPABILITIES = "0000000000000000"


def install_file_capability(path):
    subprocess.run(["setcap", "cap_net_raw+ep", path], check=True)


def install_set_ids(path):
    os.chown(path, 0, 0)
    os.chmod(path, 0o755 | stat.S_ISUID | stat.S_ISGID)


NOBODY = pwd.getpwnam("nobody")
AS_NOBODY = ["setpriv", f"--reuid={NOBODY.pw_uid}", f"--regid={NOBODY.pw_gid}", "--clear-groups"]

# name: (how the copy is installed, command prefix, the user whose IDs the
# process must end with, capability sets that must be empty after the socket
# is open). The bounding set can only be emptied by a process that holds
# CAP_SETPCAP, which a file capability for raw sockets alone does not give.
CASES = {
    "root": (None, [], 0, ["CapEff", "CapPrm", "CapInh", "CapAmb", "CapBnd"]),
    "file-capability": (install_file_capability, AS_NOBODY, NOBODY.pw_uid,
                        ["CapEff", "CapPrm", "CapInh", "CapAmb"]),
    "set-user-id": (install_set_ids, AS_NOBODY, NOBODY.pw_uid,
                    ["CapEff", "CapPrm", "CapInh", "CapAmb", "CapBnd"]),
}


def fail(message, output=""):
    print(f"FAIL: {message}")
    if output:
        print("--- output ---\n" + output)
    sys.exit(1)


def read_status(pid):
    with open(f"/proc/{pid}/status") as status:
        return dict(line.rstrip("\n").split(":\t", 1) for line in status if ":\t" in line)


def copy_binary(qping, directory):
    """A copy the unprivileged user can read and run."""
    os.chmod(directory, 0o755)
    path = os.path.join(directory, "qping")
    shutil.copy(qping, path)
    os.chmod(path, 0o755)
    return path


def run_and_sample(command):
    """Runs the command; returns its output, its status and its /proc status
    as read right after the first reply line, in the pause that follows it."""
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               text=True)
    try:
        output, sample = "", None
        for line in process.stdout:
            output += line
            if ": bytes=" in line and sample is None:
                sample = read_status(process.pid)
        process.wait(timeout=RUN_LIMIT_S)
        return output, process.returncode, sample
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def check_dropped(case, qping, directory):
    install, prefix, user, empty_sets = CASES[case]
    path = copy_binary(qping, directory)
    if install is not None:
        install(path)
    output, status, sample = run_and_sample(prefix + [path, "-c", "2", "127.0.0.1"])
    # One reply is enough to sample: the raw socket also receives every other
    # ICMP message on the host, and a burst of them can crowd out a reply.
    if status != 0 or sample is None:
        fail(f"expected a reply line and status 0, got status {status}", output)
    group = pwd.getpwuid(user).pw_gid
    expected = {"Uid": "\t".join([str(user)] * 4), "Gid": "\t".join([str(group)] * 4),
                "NoNewPrivs": "1", **{name: NO_CAPABILITIES for name in empty_sets}}
    wrong = {name: sample.get(name) for name, value in expected.items() if sample.get(name) != value}
    if wrong:
        fail(f"credentials after the socket opened: {wrong}, expected {expected}", output)


def check_refused(qping, directory):
    path = copy_binary(qping, directory)
    result = subprocess.run(AS_NOBODY + [path, "-c", "1", "127.0.0.1"], capture_output=True,
                            text=True, timeout=RUN_LIMIT_S)
    if result.returncode != 255 or result.stdout != "socket failed: 10013\n":
        fail(f"expected 'socket failed: 10013' and status 255, got status {result.returncode}",
             result.stdout + result.stderr)


def main():
    qping, case = sys.argv[1], sys.argv[2]
    if os.geteuid() != 0:
        print("needs root: the cases install capabilities and set-user-ID copies")
        sys.exit(SKIP)
    with tempfile.TemporaryDirectory(prefix=f"qping-{case}-") as directory:
        if case == "no-capability":
            check_refused(qping, directory)
        else:
            check_dropped(case, qping, directory)
    print(f"PASS: {case}")


if __name__ == "__main__":
    main()
