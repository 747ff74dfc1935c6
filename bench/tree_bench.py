#!/usr/bin/python3
"""Whole-tree speed of vemalftp-cli against lftp's mirror, both on the same vsftpd on loopback.

- get -r of a tree of many small files: files per second, against
  lftp -e "set ftp:passive-mode off; mirror" (one connection);
- cache-build of a tree of many directories, against the same mirror with --dry-run;
- a second ls of a cached directory: the connections the server saw (must be none).

Runs the two alternately and prints median ratios. Needs root, vsftpd and lftp.

    bench/tree_bench.py [--cli build/src/vemalftp-cli] [--files 2000] [--dirs 2000] [--rounds 3]
"""
import argparse, os, shutil, statistics, subprocess, sys, tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ftp_bench import HERE, free_port, wait_port, timed  # noqa: E402


def lftp(url, script):
    return ["lftp", "-e", f"set ftp:passive-mode off; set cmd:fail-exit yes; {script}; quit", url]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", default=os.path.join(HERE, "..", "build", "src", "vemalftp-cli"))
    parser.add_argument("--files", type=int, default=2000)
    parser.add_argument("--dirs", type=int, default=2000)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)

    work = tempfile.mkdtemp(prefix="vemal-tree-bench-")
    root = os.path.join(work, "root")
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_CACHE_HOME=os.path.join(work, "cache"))
    files = os.path.join(root, "files")
    for i in range(args.files):
        sub = os.path.join(files, f"d{i // 100:02d}")
        os.makedirs(sub, exist_ok=True)
        with open(os.path.join(sub, f"f{i:05d}.bin"), "wb") as f:
            f.write(os.urandom(4096))
    dirs = os.path.join(root, "dirs")
    for i in range(args.dirs):
        os.makedirs(os.path.join(dirs, f"a{i // 50:03d}", f"b{i:05d}"), exist_ok=True)

    log = os.path.join(work, "vsftpd.log")
    port = free_port()
    pid = int(subprocess.run([os.path.join(HERE, "vsftpd-start.sh"), root, str(port)], capture_output=True,
                             text=True, check=True, env=dict(os.environ, VSFTPD_LOG=log)).stdout)
    try:
        wait_port(port)
        url = f"ftp://127.0.0.1:{port}"

        def fresh(name):
            path = os.path.join(work, name)
            shutil.rmtree(path, ignore_errors=True)
            os.makedirs(path)
            return path

        def cli_get():
            return timed([cli, url, "get", "-r", "--replace", "/files", fresh("cli-out")], env)

        def lftp_get():
            out = fresh("lftp-out")
            return timed(lftp(url, f"mirror /files {out}/files"))

        ratios = []
        for _ in range(args.rounds):
            c, l = cli_get(), lftp_get()
            ratios.append(l / c)
            print(f"  get -r {args.files} files: client {args.files / c:6.0f} files/s, lftp {args.files / l:6.0f} files/s")
        print(f"get -r of {args.files} files of 4 KiB: median ratio client/lftp files per second "
              f"{statistics.median(ratios):.2f}")

        def cli_walk():
            return timed([cli, url, "cache-build", "/dirs"], env)

        def lftp_walk():
            return timed(lftp(url, f"mirror --dry-run /dirs {fresh('dry')}"))

        ratios = []
        for _ in range(args.rounds):
            c, l = cli_walk(), lftp_walk()
            ratios.append(l / c)
            print(f"  walk of {args.dirs} directories: client {c:.2f} s, lftp {l:.2f} s")
        print(f"cache-build of {args.dirs} directories: median ratio client/lftp speed {statistics.median(ratios):.2f}")

        subprocess.run([cli, "host", "bench", "Address=127.0.0.1", f"Port={port}", "CacheType=2"], env=env,
                       check=True, stdout=subprocess.DEVNULL)
        timed([cli, "bench", "ls", "/files/d00/"], env)
        before = open(log, errors="replace").read().count("CONNECT: Client")
        timed([cli, "bench", "ls", "/files/d00/"], env)
        after = open(log, errors="replace").read().count("CONNECT: Client")
        print(f"second ls of a cached directory: {after - before} connection(s) to the server")
    finally:
        os.kill(pid, 15)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
