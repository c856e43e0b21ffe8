#!/usr/bin/env python3
"""A mail server for the tests, on 127.0.0.1 and a free port.

  smtp_sink.py PORTFILE FOLDER [--refuse ADDRESS] [--silent] [fault options]

Writes the port it listens on into PORTFILE once it is ready. Every mail it takes goes into
FOLDER/NNN/: message.eml (as received), to.txt (the envelope recipients), subject.txt and
from.txt (headers decoded), text.txt (the text part) and each attachment under its file name.
--refuse ADDRESS answers 550 to that recipient. --silent accepts connections and never answers.

Fault options run a plain server of our own that keeps message.eml and to.txt of each mail it
takes (a mail counts as taken once its end arrived, whatever the answer):
  --drop-after-data      takes each whole mail and closes without the answer
  --cut-during-data N    closes the first N connections in the middle of the mail (not taken)
  --delay-greeting S     greets after S seconds
  --delay-end S          takes the mail, then waits S seconds before its 250
  --after-data CODE      answers CODE (e.g. "421 4.3.0 closing") after the end of the mail
  --refuse-with ADDRESS=REPLY   answers REPLY (e.g. "450 4.2.1 busy") to that recipient
  --chaos SEED           answers at random: 4xx/5xx to RCPT, drops during or after the data,
                         421 after the data (for the soak in bench/)
Every server ends by itself after --lifetime S seconds (default 300).
"""
import asyncio
import email
import email.header
import email.policy
import os
import random
import signal
import socket
import sys
import threading
import time


def decoded(value):
    return str(email.header.make_header(email.header.decode_header(value or "")))


class Keeper:
    def __init__(self, folder, refused):
        self.folder = folder
        self.refused = refused
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.refused:
            return "550 5.1.1 refused by the test server"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        box = os.path.join(self.folder, "%03d" % self.count)
        os.makedirs(box)
        raw = envelope.original_content or envelope.content
        with open(os.path.join(box, "message.eml"), "wb") as f:
            f.write(raw)
        message = email.message_from_bytes(raw, policy=email.policy.default)
        with open(os.path.join(box, "to.txt"), "w", encoding="utf-8") as f:
            f.write("\n".join(envelope.rcpt_tos))
        with open(os.path.join(box, "subject.txt"), "w", encoding="utf-8") as f:
            f.write(decoded(message["Subject"]))
        with open(os.path.join(box, "from.txt"), "w", encoding="utf-8") as f:
            f.write(decoded(message["From"]))
        for part in message.walk():
            if part.is_multipart():
                continue
            name = part.get_filename()
            payload = part.get_payload(decode=True) or b""
            if name:
                with open(os.path.join(box, "attachment-" + os.path.basename(decoded(name))), "wb") as f:
                    f.write(payload)
            elif part.get_content_type() == "text/plain":
                with open(os.path.join(box, "text.txt"), "wb") as f:
                    f.write(payload)
        return "250 OK kept"


def announce(portfile, port):
    with open(portfile + ".tmp", "w") as f:
        f.write(str(port))
    os.rename(portfile + ".tmp", portfile)


def silent(portfile):
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    announce(portfile, listener.getsockname()[1])
    held = []
    while True:
        connection, _ = listener.accept()
        held.append(connection)


class Faults:
    def __init__(self, args):
        self.drop_after_data = "--drop-after-data" in args
        self.cut_during_data = int(option(args, "--cut-during-data", "0"))
        self.delay_greeting = float(option(args, "--delay-greeting", "0"))
        self.delay_end = float(option(args, "--delay-end", "0"))
        self.after_data = option(args, "--after-data", "250 2.0.0 OK kept")
        self.refused = {}
        for i, arg in enumerate(args):
            if arg == "--refuse-with":
                address, reply = args[i + 1].split("=", 1)
                self.refused[address.lower()] = reply
        chaos = option(args, "--chaos", None)
        self.random = random.Random(int(chaos)) if chaos is not None else None
        self.lock = threading.Lock()
        self.count = 0
        self.connections = 0


def option(args, name, default):
    return args[args.index(name) + 1] if name in args else default


def keep(folder, faults, recipients, data):
    with faults.lock:
        faults.count += 1
        box = os.path.join(folder, "%06d" % faults.count)
    os.makedirs(box + ".tmp")
    with open(os.path.join(box + ".tmp", "message.eml"), "wb") as f:
        f.write(data)
    with open(os.path.join(box + ".tmp", "to.txt"), "w", encoding="utf-8") as f:
        f.write("\n".join(recipients))
    os.rename(box + ".tmp", box)


def serve_plainly(connection, folder, faults):
    with faults.lock:
        faults.connections += 1
        number = faults.connections
    chaos = faults.random
    def send(line):
        connection.sendall(line.encode() + b"\r\n")
    if faults.delay_greeting:
        time.sleep(faults.delay_greeting)
    send("220 test ESMTP")
    pending = b""
    recipients = []
    while True:
        while b"\r\n" not in pending:
            chunk = connection.recv(65536)
            if not chunk:
                return
            pending += chunk
        line, pending = pending.split(b"\r\n", 1)
        command = line.decode("utf-8", "replace")
        verb = command[:4].upper()
        if verb in ("EHLO", "HELO"):
            send("250-test" if verb == "EHLO" else "250 test")
            if verb == "EHLO":
                send("250 SMTPUTF8")
        elif verb == "MAIL":
            recipients = []
            send("250 2.1.0 OK")
        elif verb == "RCPT":
            address = command[command.find("<") + 1:command.rfind(">")]
            reply = faults.refused.get(address.lower())
            if reply is None and chaos is not None:
                roll = chaos.random()
                if roll < 0.04:
                    reply = "450 4.2.1 mailbox busy, try later"
                elif roll < 0.06:
                    reply = "550 5.1.1 user unknown today"
            if reply:
                send(reply)
            else:
                recipients.append(address)
                send("250 2.1.5 OK")
        elif verb == "DATA":
            send("354 go on")
            cut = number <= faults.cut_during_data
            drop_after = faults.drop_after_data
            after = faults.after_data
            if chaos is not None:
                roll = chaos.random()
                cut = roll < 0.04
                drop_after = 0.04 <= roll < 0.07
                after = "421 4.3.0 closing" if 0.07 <= roll < 0.09 else after
            while b"\r\n.\r\n" not in pending:
                if cut and len(pending) > 200:
                    connection.close()
                    return
                chunk = connection.recv(65536)
                if not chunk:
                    return
                pending += chunk
            data, pending = pending.split(b"\r\n.\r\n", 1)
            keep(folder, faults, recipients, data + b"\r\n")
            if drop_after:
                connection.close()
                return
            if faults.delay_end:
                time.sleep(faults.delay_end)
            send(after)
            if after.startswith("421"):
                connection.close()
                return
        elif verb == "QUIT":
            send("221 bye")
            connection.close()
            return
        else:
            send("250 OK")


def plain_server(portfile, folder, faults):
    os.makedirs(folder, exist_ok=True)
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    announce(portfile, listener.getsockname()[1])
    while True:
        connection, _ = listener.accept()
        def run(connection=connection):
            try:
                serve_plainly(connection, folder, faults)
            except OSError:
                pass
            finally:
                connection.close()
        threading.Thread(target=run, daemon=True).start()


def main():
    portfile, folder = sys.argv[1], sys.argv[2]
    refused = set()
    args = sys.argv[3:]
    # No test server outlives its test by much.
    signal.alarm(int(float(option(args, "--lifetime", "300"))))
    if "--silent" in args:
        silent(portfile)
        return
    fault_options = ("--drop-after-data", "--cut-during-data", "--delay-greeting", "--delay-end",
                     "--after-data", "--refuse-with", "--chaos")
    if any(name in args for name in fault_options):
        plain_server(portfile, folder, Faults(args))
        return
    if "--refuse" in args:
        refused.add(args[args.index("--refuse") + 1].lower())
    from aiosmtpd.smtp import SMTP

    os.makedirs(folder, exist_ok=True)
    keeper = Keeper(folder, refused)
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(
        loop.create_server(lambda: SMTP(keeper, decode_data=False, enable_SMTPUTF8=True),
                           sock=listener))
    announce(portfile, listener.getsockname()[1])
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == "__main__":
    main()
