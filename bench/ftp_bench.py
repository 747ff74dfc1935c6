#!/usr/bin/python3
"""Speed and memory of vemalftp-cli against curl, both talking to the same vsftpd on loopback.

Runs the client and curl alternately (A B A B ...) and prints the median ratio of their times, so
the machine's swings affect both alike. Needs root (vsftpd), vsftpd, curl and /usr/bin/time.

    bench/ftp_bench.py [--cli build/src/vemalftp-cli] [--size-mib 1024] [--entries 100000] [--rounds 5]
"""
import argparse, os, re, shutil, socket, statistics, subprocess, sys, tempfile, time

HERE = os.path.dirname(os.path.abspath(__file__))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_port(port, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), 0.2).close()
            return
        except OSError:
            time.sleep(0.05)
    sys.exit("vsftpd did not start")


def settle_time_wait(limit=1000, seconds=60):
    """Many closed sockets slow every later run: wait (bounded) until few are left."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        out = subprocess.run(["ss", "-tan", "state", "time-wait"], capture_output=True, text=True).stdout
        if out.count("\n") < limit:
            return
        time.sleep(0.5)


def timed(cmd, env=None, stdout=subprocess.DEVNULL):
    settle_time_wait()
    start = time.perf_counter()
    result = subprocess.run(cmd, env=env, stdout=stdout, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"failed ({result.returncode}): {' '.join(cmd)}\n{result.stderr.decode(errors='replace')}")
    return elapsed


def peak_rss_kib(cmd, env):
    result = subprocess.run(["/usr/bin/time", "-v"] + cmd, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True)
    match = re.search(r"Maximum resident set size \(kbytes\): (\d+)", result.stderr)
    return int(match.group(1)) if match else -1


def alternate(rounds, client, peer):
    """Runs client and peer alternately; returns their median times and the median ratio."""
    client_times, peer_times, ratios = [], [], []
    for _ in range(rounds):
        c = client()
        p = peer()
        client_times.append(c)
        peer_times.append(p)
        ratios.append(p / c)
    return statistics.median(client_times), statistics.median(peer_times), statistics.median(ratios)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", default=os.path.join(HERE, "..", "build", "src", "vemalftp-cli"))
    parser.add_argument("--size-mib", type=int, default=1024)
    parser.add_argument("--entries", type=int, default=100000)
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    cli = os.path.abspath(args.cli)

    work = tempfile.mkdtemp(prefix="vemal-bench-")
    root = os.path.join(work, "root")
    out = os.path.join(work, "out")
    os.makedirs(out)
    os.makedirs(root)
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_CACHE_HOME=os.path.join(work, "cache"))
    big = os.path.join(root, "big.bin")
    with open(big, "wb") as f:
        chunk = os.urandom(1 << 20)
        for _ in range(args.size_mib):
            f.write(chunk)
    many = os.path.join(root, "many")
    os.makedirs(many)
    for i in range(args.entries):
        open(os.path.join(many, f"file-{i:06d}.dat"), "w").close()

    port = free_port()
    pid = int(subprocess.run([os.path.join(HERE, "vsftpd-start.sh"), root, str(port)], capture_output=True,
                             text=True, check=True).stdout)
    try:
        wait_port(port)
        url = f"ftp://127.0.0.1:{port}"
        mib = args.size_mib

        def cli_get():
            # Without a terminal an existing local file is skipped: start from none each round.
            t = timed([cli, url, "get", "/big.bin", out], env)
            os.remove(os.path.join(out, "big.bin"))
            return t

        def curl_get():
            return timed(["curl", "-s", "-P", "-", "-o", os.path.join(out, "curl.bin"), f"{url}/big.bin"])

        c, p, r = alternate(args.rounds, cli_get, curl_get)
        print(f"download {mib} MiB: client {mib / c:7.0f} MiB/s, curl {mib / p:7.0f} MiB/s, ratio {r:.2f}")

        upload_dir = os.path.join(root, "up")

        def cli_put():
            t = timed([cli, url, "put", big, "/up"], env)
            os.remove(os.path.join(upload_dir, "big.bin"))
            return t

        def curl_put():
            t = timed(["curl", "-s", "-P", "-", "-T", big, f"{url}/up/curl.bin"])
            os.remove(os.path.join(upload_dir, "curl.bin"))
            return t

        c, p, r = alternate(args.rounds, cli_put, curl_put)
        print(f"upload   {mib} MiB: client {mib / c:7.0f} MiB/s, curl {mib / p:7.0f} MiB/s, ratio {r:.2f}")

        def cli_list():
            return timed([cli, url, "ls", "--refresh", "/many/"], env)

        def curl_list():
            return timed(["curl", "-s", "-P", "-", "-o", "/dev/null", f"{url}/many/"])

        c, p, r = alternate(args.rounds, cli_list, curl_list)
        print(f"listing {args.entries} entries: client {c:.3f} s (parsed and cached), curl {p:.3f} s (raw), "
              f"client/curl {c / p:.2f}")

        subprocess.run([cli, "host", "bench", "Address=127.0.0.1", f"Port={port}", "CacheType=2"], env=env,
                       check=True, stdout=subprocess.DEVNULL)
        timed([cli, "bench", "ls", "/many/"], env)  # fills the cache
        replay = statistics.median(timed([cli, "bench", "ls", "/many/"], env) for _ in range(args.rounds))
        print(f"replay of {args.entries} entries from the cache: {replay:.3f} s")
        rss = peak_rss_kib([cli, url, "ls", "--refresh", "/many/"], env)
        print(f"peak RSS while listing {args.entries} entries: {rss / 1024:.1f} MiB")
    finally:
        os.kill(pid, 15)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
