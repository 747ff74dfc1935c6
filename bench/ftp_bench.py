#!/usr/bin/python3
"""Speed and memory of vemalftp-cli against curl and lftp, all talking to the same servers on loopback.

In each round the client, curl and lftp run one after the other, and who goes first turns with each
round, so the machine's swings affect all alike. Each line prints median times and the median of the
per-round ratios against each peer and against the faster peer (by median). Passive mode (default)
uses a vsftpd that refuses PORT/EPRT (port_enable=NO); active mode the vsftpd that allows both.
Listings run with LIST on vsftpd and with MLSD on pyftpdlib (vsftpd has no MLSD).
With --tls vsftpd requires explicit TLS (AUTH TLS, PROT P, data connections resuming the session; a
self-signed certificate): the client gets an ftpes:// address, curl --ssl-reqd -k, lftp ftp:ssl-force;
only download, upload and list are measured then (pyftpdlib speaks no TLS here).
Needs root (vsftpd), vsftpd, curl, lftp, pyftpdlib for /usr/bin/python3 and /usr/bin/time; openssl for --tls.

    bench/ftp_bench.py [--mode passive|active] [--tls] [--cli build/src/vemalftp-cli] [--size-mib 1024]
                       [--entries 100000] [--rounds 5] [--only download,upload,list,mlsd,cache]
"""
import argparse, filecmp, os, re, shlex, shutil, socket, statistics, subprocess, sys, tempfile, time

HERE = os.path.dirname(os.path.abspath(__file__))
PARTS = ("download", "upload", "list", "mlsd", "cache")
TLS_PARTS = ("download", "upload", "list")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_port(port, what, seconds=10):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), 0.2).close()
            return
        except OSError:
            time.sleep(0.05)
    sys.exit(f"{what} did not start")


def settle_time_wait(limit=1000, seconds=60):
    """Many closed sockets slow every later run: wait (bounded) until few are left."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        out = subprocess.run(["ss", "-tan", "state", "time-wait"], capture_output=True, text=True).stdout
        if out.count("\n") < limit:
            return
        time.sleep(0.5)


def run(cmd, env=None, stdout=subprocess.DEVNULL):
    result = subprocess.run(cmd, env=env, stdout=stdout, stderr=subprocess.PIPE)
    if result.returncode != 0:
        sys.exit(f"failed ({result.returncode}): {shlex.join(cmd)}\n{result.stderr.decode(errors='replace')}")
    return result


def timed(cmd, env=None):
    settle_time_wait()
    start = time.perf_counter()
    run(cmd, env)
    return time.perf_counter() - start


def peak_rss_kib(cmd, env):
    result = subprocess.run(["/usr/bin/time", "-v"] + cmd, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True)
    match = re.search(r"Maximum resident set size \(kbytes\): (\d+)", result.stderr)
    return int(match.group(1)) if match else -1


class Runner:
    """One contestant of a measurement: its command and what to check or clean after each run."""

    def __init__(self, name, cmd, env=None, after=None):
        self.name, self.cmd, self.env, self.after = name, cmd, env, after

    def __call__(self):
        t = timed(self.cmd, self.env)
        if self.after:
            self.after()
        return t


def compete(rounds, runners):
    """Runs every runner once per round, the first one turning each round; returns their times."""
    times = {r.name: [] for r in runners}
    for i in range(rounds):
        order = runners[i % len(runners):] + runners[:i % len(runners)]
        for r in order:
            times[r.name].append(r())
    return times


def report(title, runners, times, transfer_mib=None):
    """Prints medians and client/peer ratios: throughput ratio for transfers (above 1 = faster),
    time ratio for listings (below 1 = faster); each the median of the per-round ratios."""
    for r in runners:
        rounds = " ".join(f"{t:.3f}" for t in times[r.name])
        print(f"#   {r.name}: {shlex.join(r.cmd)}\n#     rounds (s): {rounds}")
    client = times["client"]
    peers = [name for name in times if name != "client"]
    med = {name: statistics.median(t) for name, t in times.items()}

    def ratio(peer):
        pairs = zip(client, times[peer])
        return statistics.median(p / c if transfer_mib else c / p for c, p in pairs)

    if transfer_mib:
        figures = ", ".join(f"{n} {transfer_mib / med[n]:6.0f} MiB/s" for n in times)
    else:
        figures = ", ".join(f"{n} {med[n]:.3f} s" for n in times)
    faster = min(peers, key=lambda n: med[n])
    each = ", ".join(f"client/{n} {ratio(n):.2f}" for n in peers)
    kind = "throughput" if transfer_mib else "time"
    print(f"{title}: {figures}; faster peer {faster}: {kind} ratio {ratio(faster):.2f} ({each})", flush=True)


def make_tree(root, size_mib, entries):
    with open(os.path.join(root, "big.bin"), "wb") as f:
        chunk = os.urandom(1 << 20)
        for _ in range(size_mib):
            f.write(chunk)
    many = os.path.join(root, "many")
    os.makedirs(many)
    for i in range(entries):
        open(os.path.join(many, f"file-{i:06d}.dat"), "w").close()


def start_servers(root, mode, tls_pem):
    """vsftpd (passive only, or active and passive; TLS required with a certificate file) and, without
    TLS, a read-only anonymous pyftpdlib on one root."""
    vs_port, py_port = free_port(), free_port()
    vs_env = dict(os.environ, VSFTPD_TLS=tls_pem or "")
    vs_pid = int(run([os.path.join(HERE, "vsftpd-start.sh"), root, str(vs_port)] + (["passive"] if mode == "passive" else []),
                     vs_env, stdout=subprocess.PIPE).stdout)
    wait_port(vs_port, "vsftpd")
    if tls_pem:
        return vs_port, None, [vs_pid]
    py = subprocess.Popen(["/usr/bin/python3", "-m", "pyftpdlib", "-i", "127.0.0.1", "-p", str(py_port),
                           "-d", root], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_port(py_port, "pyftpdlib")
    return vs_port, py_port, [vs_pid, py.pid]


def check_client_mode(cli, url, env, args):
    """One untimed listing with -v: the data connections must be set up in the mode measured. With
    TLS this run trusts the host's certificate for good (stored in the run's settings), so the timed
    runs, which have no terminal to ask on, fail if the client does not find it again; and the
    session must say it is encrypted."""
    trust = ["--accept-new-cert"] if args.tls else []
    err = run([cli, "-v"] + trust + [url, "ls", "--refresh", "/"], env).stderr.decode(errors="replace")
    wanted = ("EPSV", "PASV") if args.mode == "passive" else ("EPRT", "PORT")
    if not any(f"Sent > {w}" in err for w in wanted):
        sys.exit(f"the client did not use {args.mode} mode:\n{err}")
    if args.tls and "Encrypted with TLS" not in err:
        sys.exit(f"the client's session was not encrypted:\n{err}")


def check_listing(runner, entries):
    """One untimed run (also warms the server's directory cache): the listing must be complete."""
    lines = run(runner.cmd, runner.env, stdout=subprocess.PIPE).stdout.count(b"\n")
    if lines < entries:
        sys.exit(f"{runner.name} listed {lines} of {entries} entries: {shlex.join(runner.cmd)}")


def curl_cmd(args, *rest):
    """curl in the mode measured; with TLS explicit (AUTH TLS on an ftp:// URL), certificate unchecked."""
    return (["curl", "-s"] + ([] if args.mode == "passive" else ["-P", "-"])
            + (["--ssl-reqd", "-k"] if args.tls else []) + list(rest))


def lftp_cmd(args, url, command):
    passive = "on" if args.mode == "passive" else "off"
    tls = ("set ftp:ssl-force true; set ftp:ssl-allow-anonymous true; set ftp:ssl-protect-data true; "
           "set ssl:verify-certificate no; ") if args.tls else ""
    return ["lftp", "-c", f"set ftp:passive-mode {passive}; {tls}set cmd:fail-exit yes; set xfer:clobber on; "
                          f"open {url}; {command}"]


def bench_transfers(args, cli, env, cli_url, url, root, out):
    mib = args.size_mib
    big, up = os.path.join(root, "big.bin"), os.path.join(root, "up")
    size = os.path.getsize(big)

    def landed(path, same=False):
        def check():
            # Without a terminal the client skips an existing local file: every round starts from none.
            if os.path.getsize(path) != size:
                sys.exit(f"{path}: {os.path.getsize(path)} bytes, not {size}")
            if same and not filecmp.cmp(path, big, shallow=False):
                sys.exit(f"{path}: not the same bytes as {big}")
            os.remove(path)
        return check

    runners = [Runner("client", [cli, cli_url, "get", "/big.bin", out], env, landed(os.path.join(out, "big.bin"), True)),
               Runner("curl", curl_cmd(args, "-o", os.path.join(out, "curl.bin"), f"{url}/big.bin"),
                      after=landed(os.path.join(out, "curl.bin"), True)),
               Runner("lftp", lftp_cmd(args, url, f"get /big.bin -o {os.path.join(out, 'lftp.bin')}"),
                      after=landed(os.path.join(out, "lftp.bin"), True))]
    if "download" in args.only:
        report(f"download {mib} MiB", runners, compete(args.rounds, runners), mib)

    runners = [Runner("client", [cli, cli_url, "put", big, "/up"], env, landed(os.path.join(up, "big.bin"))),
               Runner("curl", curl_cmd(args, "-T", big, f"{url}/up/curl.bin"),
                      after=landed(os.path.join(up, "curl.bin"))),
               Runner("lftp", lftp_cmd(args, url, f"put {big} -o /up/lftp.bin"),
                      after=landed(os.path.join(up, "lftp.bin")))]
    if "upload" in args.only:
        report(f"upload   {mib} MiB", runners, compete(args.rounds, runners), mib)


def bench_listings(args, cli, env, cli_url, vs_url, py_url):
    # LIST on vsftpd: the client parses and caches; curl and lftp `ls` fetch the raw lines.
    list_runners = [Runner("client", [cli, cli_url, "ls", "--refresh", "/many/"], env),
                    Runner("curl", curl_cmd(args, f"{vs_url}/many/")),
                    Runner("lftp", lftp_cmd(args, vs_url, "ls /many/"))]
    # MLSD on pyftpdlib: the client takes MLSD from FEAT; curl sends it raw; lftp `cls` lists with MLSD.
    mlsd_runners = [Runner("client", [cli, py_url, "ls", "--refresh", "/many/"], env),
                    Runner("curl", curl_cmd(args, "-X", "MLSD", f"{py_url}/many/")),
                    Runner("lftp", lftp_cmd(args, py_url, "cls -1 /many/"))]
    for part, title, runners in (("list", f"list LIST {args.entries} entries (vsftpd)", list_runners),
                                 ("mlsd", f"list MLSD {args.entries} entries (pyftpdlib)", mlsd_runners)):
        if part not in args.only:
            continue
        for r in runners:
            check_listing(r, args.entries)
        report(title, runners, compete(args.rounds, runners))


def bench_cache(args, cli, env, vs_port, vs_url, py_url):
    run([cli, "host", "bench", "Address=127.0.0.1", f"Port={vs_port}", "CacheType=2"], env)
    timed([cli, "bench", "ls", "/many/"], env)  # fills the cache
    replay = statistics.median(timed([cli, "bench", "ls", "/many/"], env) for _ in range(args.rounds))
    print(f"replay of {args.entries} entries from the cache: {replay:.3f} s")
    for kind, url in (("LIST", vs_url), ("MLSD", py_url)):
        rss = peak_rss_kib([cli, url, "ls", "--refresh", "/many/"], env)
        print(f"peak RSS while listing {args.entries} entries with {kind}: {rss / 1024:.1f} MiB")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", choices=("passive", "active"), default="passive")
    parser.add_argument("--tls", action="store_true", help="explicit TLS on vsftpd; " + ",".join(TLS_PARTS) + " only")
    parser.add_argument("--cli", default=os.path.join(HERE, "..", "build", "src", "vemalftp-cli"))
    parser.add_argument("--size-mib", type=int, default=1024)
    parser.add_argument("--entries", type=int, default=100000)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--only", help="comma-separated subset of " + ",".join(PARTS))
    args = parser.parse_args()
    parts = TLS_PARTS if args.tls else PARTS
    args.only = set((args.only or ",".join(parts)).split(","))
    if not args.only <= set(parts):
        parser.error(f"--only takes {','.join(parts)}" + (" with --tls" if args.tls else ""))
    cli = os.path.abspath(args.cli)

    work = tempfile.mkdtemp(prefix="vemal-bench-")
    root, out = os.path.join(work, "root"), os.path.join(work, "out")
    os.makedirs(out)
    os.makedirs(root)
    # The client keeps its settings and cache under these: a private store for the run.
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_CACHE_HOME=os.path.join(work, "cache"))
    run([cli, "config", "DataMode", "2" if args.mode == "passive" else "1"], env)
    make_tree(root, args.size_mib if args.only & {"download", "upload"} else 0, args.entries)

    vs_port, py_port, pids = start_servers(root, args.mode, os.path.join(work, "cert.pem") if args.tls else None)
    try:
        vs_url, py_url = f"ftp://127.0.0.1:{vs_port}", f"ftp://127.0.0.1:{py_port}"
        # ftpes:// requires AUTH TLS; the peers get ftp:// with their own options for it.
        cli_url = f"ftpes://127.0.0.1:{vs_port}/" if args.tls else vs_url
        print(f"# {args.mode} mode{', TLS' if args.tls else ''}, {args.rounds} rounds, "
              f"load {os.getloadavg()[0]:.2f}", flush=True)
        check_client_mode(cli, cli_url, env, args)
        bench_transfers(args, cli, env, cli_url, vs_url, root, out)
        bench_listings(args, cli, env, cli_url, vs_url, py_url)
        if "cache" in args.only:
            bench_cache(args, cli, env, vs_port, vs_url, py_url)
        print(f"# load at the end {os.getloadavg()[0]:.2f}")
    finally:
        for pid in pids:
            os.kill(pid, 15)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
