#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the sample sources that have a rhythm of their own, for replays at the recorded pace.

  auth.txt    an RFC 3164 authentication log of a bastion host over about an hour, across
              midnight of New Year's Eve: logins, sudo, cron every minute, quiet spells and
              bursts of password guessing;
  access.txt  an RFC 5424 web access log with milliseconds and a +01:00 offset over about half an
              hour: page views with their assets, a crawler, a rush after a newsletter, errors.

Seeded, so every run writes the same bytes. Lines end with CR LF, like the other samples. Only
documentation addresses and names appear (RFC 5737, RFC 3849, RFC 2606).

Usage: scripts/make-samples.py [--check] [FOLDER]   (default: demo/Logs Source)
  --check  write nothing; exit 1 when a file in FOLDER differs from what would be written.
"""
import argparse
import base64
import datetime as dt
import pathlib
import random
import sys

SEED = 20261207
MONTHS = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()


def v4(rng, net):
    return f"{net}.{rng.randint(1, 254)}"


def v6(rng):
    return f"2001:db8:{rng.randint(1, 0xffff):x}:{rng.randint(0, 0xffff):x}::{rng.randint(1, 0xffff):x}"


def bsd_time(t):
    """RFC 3164's timestamp: the day padded by a space."""
    return f"{MONTHS[t.month - 1]} {t.day:2d} {t:%H:%M:%S}"


class AuthLog:
    """A bastion host's auth log: (time, text) events, sorted when written."""

    HOST = "bastion"

    def __init__(self, rng, start, minutes):
        self.rng = rng
        self.start = start
        self.end = start + dt.timedelta(minutes=minutes)
        self.events = []
        self.pid = 31000
        self.session = 4100

    def add(self, t, pri, tag, text):
        if t < self.end:
            self.events.append((t, len(self.events), f"<{pri}>{bsd_time(t)} {self.HOST} {tag}: {text}"))

    def next_pid(self):
        self.pid += self.rng.randint(3, 40)
        return self.pid

    def cron(self):
        t = self.start.replace(second=0) + dt.timedelta(minutes=1)
        while t < self.end:
            jobs = 1 + (t.minute % 5 == 0) + (t.minute % 15 == 0)
            for _ in range(jobs):
                pid = self.next_pid()
                at = t + dt.timedelta(seconds=self.rng.randint(0, 1))
                self.add(at, 86, f"CRON[{pid}]", "pam_unix(cron:session): session opened for user root(uid=0) by (uid=0)")
                self.add(at + dt.timedelta(seconds=self.rng.choice([0, 0, 1, 2, 7])), 86, f"CRON[{pid}]",
                         "pam_unix(cron:session): session closed for user root")
            t += dt.timedelta(minutes=1)

    def login(self, t, user, uid, source, commands):
        rng = self.rng
        pid = self.next_pid()
        port = rng.randint(32768, 60999)
        sshd = f"sshd[{pid}]"
        key = base64.b64encode(rng.randbytes(32)).decode().rstrip("=")
        how = rng.choice(["publickey", "publickey", "publickey", "password"])
        proof = f" ssh2: ED25519 SHA256:{key}" if how == "publickey" else " ssh2"
        self.add(t, 38, sshd, f"Accepted {how} for {user} from {source} port {port}{proof}")
        self.add(t, 86, sshd, f"pam_unix(sshd:session): session opened for user {user}(uid={uid}) by (uid=0)")
        self.session += 1
        self.add(t, 38, "systemd-logind[612]", f"New session {self.session} of user {user}.")
        at = t + dt.timedelta(seconds=rng.randint(20, 90))
        for command in commands:
            spid = self.next_pid()
            self.add(at, 85, "sudo", f"{user:>8} : TTY=pts/{rng.randint(0, 4)} ; PWD=/home/{user} ; USER=root ; "
                                     f"COMMAND={command}")
            self.add(at, 86, f"sudo[{spid}]",
                     f"pam_unix(sudo:session): session opened for user root(uid=0) by {user}(uid={uid})")
            at += dt.timedelta(seconds=rng.randint(0, 25))
            self.add(at, 86, f"sudo[{spid}]", "pam_unix(sudo:session): session closed for user root")
            at += dt.timedelta(seconds=rng.randint(15, 240))
        end = at + dt.timedelta(seconds=rng.randint(30, 900))
        self.add(end, 38, sshd, f"Received disconnect from {source} port {port}:11: disconnected by user")
        self.add(end, 38, sshd, f"Disconnected from user {user} {source} port {port}")
        self.add(end, 86, sshd, f"pam_unix(sshd:session): session closed for user {user}")
        self.add(end, 38, "systemd-logind[612]", f"Session {self.session} logged out. Waiting for processes to exit.")
        self.add(end, 38, "systemd-logind[612]", f"Removed session {self.session}.")

    def guessing(self, t, source, attempts, pace):
        """A burst of password guesses from one address: several connections a second."""
        rng = self.rng
        names = ["admin", "root", "test", "user", "oracle", "postgres", "ubuntu", "guest", "git", "ftpuser",
                 "deploy", "support", "pi", "www", "backup", "mysql", "jenkins", "minecraft", "hadoop"]
        for _ in range(attempts):
            pid = self.next_pid()
            port = rng.randint(32768, 60999)
            sshd = f"sshd[{pid}]"
            user = rng.choice(names)
            if user == "root":
                self.add(t, 86, sshd, f"pam_unix(sshd:auth): authentication failure; logname= uid=0 euid=0 tty=ssh "
                                      f"ruser= rhost={source}  user=root")
                self.add(t + dt.timedelta(seconds=2), 37, sshd,
                         f"Failed password for root from {source} port {port} ssh2")
                self.add(t + dt.timedelta(seconds=2), 37, sshd,
                         f"error: maximum authentication attempts exceeded for root from {source} port {port} ssh2 "
                         f"[preauth]")
            else:
                self.add(t, 38, sshd, f"Invalid user {user} from {source} port {port}")
                self.add(t, 38, sshd, "pam_unix(sshd:auth): check pass; user unknown")
                self.add(t, 86, sshd, f"pam_unix(sshd:auth): authentication failure; logname= uid=0 euid=0 tty=ssh "
                                      f"ruser= rhost={source}")
                self.add(t + dt.timedelta(seconds=2), 37, sshd,
                         f"Failed password for invalid user {user} from {source} port {port} ssh2")
                self.add(t + dt.timedelta(seconds=2), 38, sshd,
                         f"Connection closed by invalid user {user} {source} port {port} [preauth]")
            t += dt.timedelta(seconds=rng.expovariate(pace))

    def scans(self, t, count):
        """Stray probes: a banner grab, a wrong protocol."""
        rng = self.rng
        for _ in range(count):
            t += dt.timedelta(seconds=rng.expovariate(1 / 240))
            source = v4(rng, rng.choice(["192.0.2", "198.51.100"]))
            sshd = f"sshd[{self.next_pid()}]"
            port = rng.randint(32768, 60999)
            if rng.random() < 0.5:
                self.add(t, 38, sshd, f"Connection closed by {source} port {port} [preauth]")
            else:
                self.add(t, 38, sshd, f"error: kex_exchange_identification: banner line contains invalid characters")
                self.add(t, 38, sshd, f"banner exchange: Connection from {source} port {port}: invalid format")

    def lines(self):
        return [text for _, _, text in sorted(self.events)]


def auth_log(rng):
    start = dt.datetime(2026, 12, 31, 23, 31, 12)
    log = AuthLog(rng, start, 62)
    log.cron()
    staff = [("alice", 1001, "198.51.100.23"), ("bob", 1002, "198.51.100.57"), ("carol", 1003, v6(rng)),
             ("dave", 1004, "192.0.2.140"), ("deploy", 1100, "198.51.100.8")]
    commands = ["/usr/bin/systemctl restart nginx", "/usr/bin/journalctl -u sshd --since today",
                "/usr/bin/apt-get update", "/usr/sbin/nft list ruleset", "/usr/bin/tail -n 200 /var/log/auth.log",
                "/usr/bin/systemctl status postgresql", "/usr/bin/certbot renew --dry-run"]
    # Logins come in two waves: before midnight, and a few minutes after it.
    for minute in [2, 9, 14, 21, 43, 46, 52, 58]:
        user, uid, source = rng.choice(staff)
        t = start + dt.timedelta(minutes=minute, seconds=rng.randint(0, 59))
        log.login(t, user, uid, source, rng.sample(commands, rng.randint(0, 3)))
    # The deploy account at midnight sharp, as scheduled.
    log.login(dt.datetime(2027, 1, 1, 0, 0, 3), "deploy", 1100, "198.51.100.8",
              ["/usr/bin/systemctl reload nginx"])
    # Bursts of guessing: one short and fast, one long, one from an IPv6 address.
    log.guessing(start + dt.timedelta(minutes=5, seconds=40), "203.0.113.45", 160, 4.0)
    log.guessing(start + dt.timedelta(minutes=31, seconds=5), "203.0.113.199", 320, 2.5)
    log.guessing(start + dt.timedelta(minutes=47, seconds=30), v6(rng), 90, 1.2)
    log.scans(start, 12)
    return log.lines()


def access_log(rng):
    zone = dt.timezone(dt.timedelta(hours=1))
    start = dt.datetime(2026, 12, 7, 14, 2, 11, 482000, tzinfo=zone)
    end = start + dt.timedelta(minutes=31)
    events = []
    host = "www1.example.com"
    browsers = ["Mozilla/5.0 (X11; Linux x86_64; rv:133.0) Gecko/20100101 Firefox/133.0",
                "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/131.0 "
                "Safari/537.36",
                "Mozilla/5.0 (iPhone; CPU iPhone OS 18_1 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) "
                "Version/18.1 Mobile/15E148 Safari/604.1",
                "Mozilla/5.0 (Macintosh; Intel Mac OS X 14_7) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/18.1 "
                "Safari/605.1.15"]
    pages = ["/", "/index.html", "/blog/", "/blog/2026/11/replaying-logs.html", "/blog/2026/12/winter-release.html",
             "/docs/", "/docs/install.html", "/docs/faq.html", "/pricing.html", "/contact.html", "/about.html"]
    assets = [("/css/site.css", 18402), ("/js/app.js", 96530), ("/img/logo.svg", 4121), ("/img/hero.webp", 148220),
              ("/fonts/inter.woff2", 48256), ("/favicon.ico", 1150)]

    def add(t, pri, msgid, text, sd="-"):
        if t < end:
            stamp = t.isoformat(timespec="milliseconds")
            events.append((t, len(events), f"<{pri}>1 {stamp} {host} nginx 2231 {msgid} {sd} {text}"))

    def access(t, client, method, path, status, size, referer, agent):
        add(t, 190, "access", f'{client} - - "{method} {path} HTTP/1.1" {status} {size} "{referer}" "{agent}"')

    def visit(t, client, agent, rushed):
        page = rng.choice(pages)
        referer = rng.choice(["-", "https://www.example.org/", "https://search.example.net/?q=syslog+replay",
                              "https://news.example.org/newsletter/48"] if not rushed else
                             ["https://news.example.org/newsletter/49"])
        status = 200
        if rushed and rng.random() < 0.04:
            status = rng.choice([502, 504])
            add(t + dt.timedelta(milliseconds=rng.randint(0, 30)), 187, "error",
                f"upstream timed out (110: Connection timed out) while reading response header from upstream, "
                f'client: {client}, server: {host}, request: "GET {page} HTTP/1.1"')
        access(t, client, "GET", page, status, rng.randint(4000, 42000) if status == 200 else 166, referer, agent)
        if status != 200:
            return
        at = t
        for path, size in rng.sample(assets, rng.randint(2, len(assets))):
            at += dt.timedelta(milliseconds=rng.randint(8, 240))
            cached = rng.random() < 0.35
            access(at, client, "GET", path, 304 if cached else 200, 0 if cached else size,
                   f"https://{host}{page}", agent)
        if page == "/contact.html" and rng.random() < 0.5:
            access(at + dt.timedelta(seconds=rng.uniform(20, 90)), client, "POST", "/api/contact", 201, 48,
                   f"https://{host}/contact.html", agent)

    def clients(t, rate, until, rushed=False):
        while t < until:
            t += dt.timedelta(seconds=rng.expovariate(rate))
            client = v6(rng) if rng.random() < 0.25 else v4(rng, rng.choice(["192.0.2", "198.51.100", "203.0.113"]))
            visit(t, client, rng.choice(browsers), rushed)

    # An ordinary afternoon, a quiet spell, then a newsletter goes out.
    clients(start, 0.1, start + dt.timedelta(minutes=11))
    clients(start + dt.timedelta(minutes=15), 0.08, start + dt.timedelta(minutes=19))
    clients(start + dt.timedelta(minutes=19), 0.7, start + dt.timedelta(minutes=23), rushed=True)
    clients(start + dt.timedelta(minutes=23), 0.15, end)
    # A crawler walks the site at a steady clip.
    t = start + dt.timedelta(minutes=6, seconds=12)
    bot = "ExampleBot/2.1 (+https://bot.example.net/about)"
    for n in range(180):
        t += dt.timedelta(milliseconds=rng.randint(180, 420))
        path = rng.choice(pages) if n % 3 else f"/blog/page/{n // 3 + 2}/"
        access(t, "198.51.100.200", "GET", path, 200 if n % 3 or n < 120 else 404, rng.randint(3000, 30000),
               "-", bot)
    # A health check every 30 s from the load balancer.
    t = start
    while t < end:
        t += dt.timedelta(seconds=30)
        access(t + dt.timedelta(milliseconds=rng.randint(0, 9)), "192.0.2.10", "GET", "/healthz", 200, 2, "-",
               "lb-check/1.0")
    return [text for _, _, text in sorted(events)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--check", action="store_true")
    parser.add_argument("folder", nargs="?",
                        default=str(pathlib.Path(__file__).resolve().parent.parent / "demo" / "Logs Source"))
    args = parser.parse_args()
    folder = pathlib.Path(args.folder)
    samples = {"auth.txt": auth_log(random.Random(SEED)), "access.txt": access_log(random.Random(SEED + 1))}
    stale = []
    for name, lines in samples.items():
        data = "".join(line + "\r\n" for line in lines).encode("ascii")
        path = folder / name
        if args.check:
            if not path.exists() or path.read_bytes() != data:
                stale.append(name)
        else:
            path.write_bytes(data)
            print(f"{path}: {len(lines)} lines, {len(data)} bytes")
    if stale:
        print(f"out of date: {', '.join(stale)} (run {sys.argv[0]})", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
