#!/usr/bin/env python3
"""A mail server for the tests, on 127.0.0.1 and a free port.

  smtp_sink.py PORTFILE FOLDER [--refuse ADDRESS] [--silent]

Writes the port it listens on into PORTFILE once it is ready. Every mail it takes goes into
FOLDER/NNN/: message.eml (as received), to.txt (the envelope recipients), subject.txt and
from.txt (headers decoded), text.txt (the text part) and each attachment under its file name.
--refuse ADDRESS answers 550 to that recipient. --silent accepts connections and never answers. --drop-after-data takes each whole mail and
closes the connection without the answer.
"""
import asyncio
import email
import email.header
import email.policy
import os
import socket
import sys
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


def drop_after_data(portfile):
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    announce(portfile, listener.getsockname()[1])
    while True:
        connection, _ = listener.accept()
        connection.sendall(b"220 test\r\n")
        pending = b""
        in_data = False
        while True:
            chunk = connection.recv(65536)
            if not chunk:
                break
            pending += chunk
            if in_data:
                if b"\r\n.\r\n" in pending:
                    break
                continue
            while b"\r\n" in pending and not in_data:
                line, pending = pending.split(b"\r\n", 1)
                if line.upper().startswith(b"DATA"):
                    connection.sendall(b"354 go on\r\n")
                    in_data = True
                else:
                    connection.sendall(b"250 ok\r\n")
            if in_data and b"\r\n.\r\n" in pending:
                break
        connection.close()


def main():
    portfile, folder = sys.argv[1], sys.argv[2]
    refused = set()
    args = sys.argv[3:]
    if "--silent" in args:
        silent(portfile)
        return
    if "--drop-after-data" in args:
        drop_after_data(portfile)
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
