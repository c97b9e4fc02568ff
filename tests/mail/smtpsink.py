"""A local SMTP server for the mail tests.

Usage: smtpsink.py FOLDER

Listens on a free port of 127.0.0.1, prints "READY <port>" once it takes connections, and
stores every message it accepts as FOLDER/msgNNN.json (envelope sender and recipients) and
FOLDER/msgNNN.eml (the message bytes as received after DATA). The .eml file appears last, so
its presence means the message is complete. Stops when its standard input closes.

Refusals on request: a recipient whose local part is "reject" gets "550 No such user here",
and a message from a sender whose local part is "refused" gets "554 Message refused" after
DATA, so that the tests can see how the client takes a refusal.
"""

import json
import os
import socket
import sys

from aiosmtpd.controller import Controller


class SavingHandler:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().startswith("reject@"):
            return "550 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if envelope.mail_from.lower().startswith("refused@"):
            return "554 Message refused"
        self.count += 1
        base = os.path.join(self.folder, "msg%03d" % self.count)
        with open(base + ".json", "w", encoding="utf-8") as f:
            json.dump({"from": envelope.mail_from, "rcpt": list(envelope.rcpt_tos)}, f)
        with open(base + ".tmp", "wb") as f:
            f.write(envelope.original_content)
        os.replace(base + ".tmp", base + ".eml")
        return "250 Message accepted for delivery"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    port = free_port()
    controller = Controller(SavingHandler(folder), hostname="127.0.0.1", port=port)
    controller.start()
    print("READY %d" % port, flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
