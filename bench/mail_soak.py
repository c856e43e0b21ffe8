#!/usr/bin/env python3
"""Soak of `quirabel-batch mail`: every recipient gets exactly one mail or is listed as uncertain.

  bench/mail_soak.py [--batch build/bin/quirabel-batch] [--rows 1000] [--kills 50] [--seed 1]

Makes a serial run's folder (CSV, one small PDF per row, the run record quirabel-serie.json),
starts the test mail server of tests/mail/smtp_sink.py on 127.0.0.1 in its --chaos mode (4xx and
5xx to recipients, connections cut during the data, dropped after it, 421 after it, all at
random), then runs the mailer and kills it (SIGKILL, now and then SIGTERM) at a random moment,
`--kills` times, and then re-runs it until no row fails any more. Prints the mails per recipient
and exits 1 when any recipient got two mails, or none without being listed as uncertain.
"""
import argparse
import hashlib
import json
import os
import random
import re
import signal
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SINK = os.path.join(HERE, "..", "tests", "mail", "smtp_sink.py")


def tiny_pdf(text):
    content = "BT /F1 12 Tf 20 40 Td (%s) Tj ET" % text
    objects = [
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content),
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    ]
    pdf = "%PDF-1.2\n"
    offsets = []
    for i, body in enumerate(objects):
        offsets.append(len(pdf))
        pdf += "%d 0 obj\n%s\nendobj\n" % (i + 1, body)
    xref = len(pdf)
    pdf += "xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        pdf += "%010d 00000 n \n" % offset
    pdf += "trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
    return pdf.encode()


def cells_sha256(cells):
    digest = hashlib.sha256()
    for cell in cells:
        data = cell.encode("utf-8")
        digest.update(struct.pack("<Q", len(data)))
        digest.update(data)
    return digest.hexdigest()


def make_run(base, rows):
    folder = os.path.join(base, "serie")
    os.makedirs(folder)
    csv_path = os.path.join(base, "kunden.csv")
    lines = []
    entries = []
    for i in range(1, rows + 1):
        cells = ["Kunde%d" % i, "kunde%d@example.org" % i, "Köln"]
        lines.append(";".join(cells))
        pdf = tiny_pdf("Rechnung fuer Kunde%d" % i)
        name = "Kunde%d.pdf" % i
        with open(os.path.join(folder, name), "wb") as f:
            f.write(pdf)
        entries.append({"row": i, "file": name, "cells_sha256": cells_sha256(cells),
                        "pdf_sha256": hashlib.sha256(pdf).hexdigest()})
    with open(csv_path, "w", encoding="utf-8", newline="") as f:
        f.write("\r\n".join(lines) + "\r\n")
    header = {"format": "quirabel-serie", "version": 1, "run_id": "%032x" % random.getrandbits(128),
              "time": "2026-12-07T21:00:00Z",
              "project": {"file": os.path.join(base, "karte.kxp"), "number": "1"},
              "csv": {"file": csv_path, "size": os.path.getsize(csv_path),
                      "modified": "2026-12-07T20:59:00Z", "rows": rows},
              "link": {"file": "", "assignments": []},
              "range": {"first": 1, "last": rows}}
    text = json.dumps(header, ensure_ascii=False)[:-1] + ',\n"rows":[\n'
    text += ",\n".join(json.dumps(entry) for entry in entries) + "\n]}\n"
    with open(os.path.join(folder, "quirabel-serie.json"), "w", encoding="utf-8") as f:
        f.write(text)
    return csv_path, folder


def start_server(base, seed):
    portfile = os.path.join(base, "port")
    mails = os.path.join(base, "mails")
    server = subprocess.Popen([sys.executable, SINK, portfile, mails, "--chaos", str(seed),
                               "--lifetime", "3600"])
    for _ in range(200):
        if os.path.exists(portfile):
            with open(portfile) as f:
                return server, int(f.read()), mails
        time.sleep(0.05)
    server.kill()
    sys.exit("the test mail server did not start")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--batch", default=os.path.join(HERE, "..", "build", "bin",
                                                        "quirabel-batch"))
    parser.add_argument("--rows", type=int, default=1000)
    parser.add_argument("--kills", type=int, default=50)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    random.seed(args.seed)
    base = tempfile.mkdtemp(prefix="mail_soak_")
    csv_path, folder = make_run(base, args.rows)
    with open(os.path.join(base, "text.txt"), "w", encoding="utf-8") as f:
        f.write("Hallo <Feld1>,\nanbei Ihre Rechnung.\n")
    server, port, mails = start_server(base, args.seed)
    os.makedirs(os.path.join(base, "config", "quirabel"))
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(base, "config"))
    command = [args.batch, "mail", csv_path, folder, "--to-column", "2",
               "--subject", "Rechnung für <Feld1>", "--text", os.path.join(base, "text.txt"),
               "--server", "127.0.0.1:%d" % port, "--security", "none",
               "--from", "rechnung@example.org"]
    started = time.time()
    try:
        kills = 0
        runs = 0
        while kills < args.kills:
            run = subprocess.Popen(command, env=env, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True)
            runs += 1
            time.sleep(random.uniform(0.01, 0.2))
            killed = run.poll() is None
            if killed:
                run.send_signal(signal.SIGTERM if random.random() < 0.2 else signal.SIGKILL)
                kills += 1
            out, _ = run.communicate(timeout=120)
            # Nothing left to send before all kills were made: the kills are done.
            if not killed and (run.returncode == 0 or out.startswith("0 Mails gesendet")):
                break
        last = None
        for _ in range(200):
            last = subprocess.run(command, env=env, capture_output=True, text=True, timeout=600)
            failed = re.search(r"(\d+) fehlgeschlagen", last.stdout)
            stopped = "Verbindung zum Mailserver" in last.stderr
            if last.returncode == 0 or (failed and failed.group(1) == "0" and not stopped):
                break
        took = time.time() - started
    finally:
        server.kill()
        server.wait()
    uncertain = set(re.findall(r"unklar, ob angekommen: Zeile \d+ \(([^)]+)\)", last.stderr))
    count = {}
    for box in os.listdir(mails):
        if box.endswith(".tmp"):
            continue
        with open(os.path.join(mails, box, "to.txt"), encoding="utf-8") as f:
            for address in f.read().split("\n"):
                count[address] = count.get(address, 0) + 1
    addresses = ["kunde%d@example.org" % i for i in range(1, args.rows + 1)]
    exactly_one = sum(1 for a in addresses if count.get(a, 0) == 1 and a not in uncertain)
    one_uncertain = sum(1 for a in addresses if count.get(a, 0) == 1 and a in uncertain)
    none_uncertain = sum(1 for a in addresses if count.get(a, 0) == 0 and a in uncertain)
    none_unlisted = [a for a in addresses if count.get(a, 0) == 0 and a not in uncertain]
    twice = [a for a in addresses if count.get(a, 0) > 1]
    print("recipients: %d, runs killed: %d of %d, time: %.1f s" % (args.rows, kills, runs, took))
    print("last run: exit %d, %s" % (last.returncode, last.stdout.strip()))
    print("exactly one mail: %d" % exactly_one)
    print("uncertain, one mail arrived: %d" % one_uncertain)
    print("uncertain, no mail arrived: %d" % none_uncertain)
    print("no mail and not listed: %d %s" % (len(none_unlisted), " ".join(none_unlisted[:10])))
    print("two or more mails: %d %s" % (len(twice), " ".join(twice[:10])))
    return 1 if twice or none_unlisted else 0


if __name__ == "__main__":
    sys.exit(main())
