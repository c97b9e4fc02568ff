"""A local SMTP server for the mail tests.

Usage: smtpsink.py FOLDER [--starttls CERT KEY | --tls CERT KEY] [--auth USER:PASSWORD]
                         [--login-only] [--no-ehlo]

Listens on a free port of 127.0.0.1, prints "READY <port>" once it takes connections, and
stores every message it accepts as FOLDER/msgNNN.json (envelope sender and recipients, the
EHLO or HELO name, whether the session was encrypted, the authenticated user) and
FOLDER/msgNNN.eml (the message bytes as received after DATA). The .eml file appears last, so
its presence means the message is complete. Stops when its standard input closes.

--starttls offers STARTTLS with the certificate and key given, --tls speaks TLS from the
first byte (implicit TLS), --auth offers AUTH PLAIN and LOGIN over TLS and takes only the
user and password given (--login-only: AUTH LOGIN alone). --no-ehlo answers EHLO with 502,
as servers that know only HELO do.

Refusals on request: a message from a sender whose local part is "refused" gets "554 Message
refused" after DATA; one from a sender whose local part is "silent" is never answered after
DATA, so that the tests can see how the client takes a refusal and a server that stops
answering.
"""

import asyncio
import json
import os
import socket
import ssl
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class SavingHandler:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        sender = envelope.mail_from.lower()
        if sender.startswith("refused@"):
            return "554 Message refused"
        if sender.startswith("silent@"):
            await asyncio.sleep(3600)
        self.count += 1
        base = os.path.join(self.folder, "msg%03d" % self.count)
        user = session.auth_data.login.decode() if session.auth_data else None
        # session.ssl tells of STARTTLS, the transport of TLS from the first byte.
        tls = (session.ssl is not None
               or server.transport.get_extra_info("ssl_object") is not None)
        with open(base + ".json", "w", encoding="utf-8") as f:
            json.dump({"from": envelope.mail_from, "rcpt": list(envelope.rcpt_tos),
                       "helo": session.host_name, "tls": tls,
                       "user": user}, f)
        with open(base + ".tmp", "wb") as f:
            f.write(envelope.original_content)
        os.replace(base + ".tmp", base + ".eml")
        return "250 Message accepted for delivery"


class Authenticator:
    def __init__(self, user, password):
        self.user = user.encode()
        self.password = password.encode()

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword) and auth_data.login == self.user
              and auth_data.password == self.password)
        return AuthResult(success=ok, auth_data=auth_data if ok else None, handled=False)


class HeloOnlySMTP(SMTP):
    async def smtp_EHLO(self, hostname):
        await self.push("502 5.5.1 Command not recognized")


class HeloOnlyController(Controller):
    def factory(self):
        return HeloOnlySMTP(self.handler, **self.SMTP_kwargs)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    args = sys.argv[1:]
    folder = args.pop(0)
    os.makedirs(folder, exist_ok=True)
    kwargs = {}
    controller_class = Controller
    while args:
        option = args.pop(0)
        if option in ("--starttls", "--tls"):
            context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
            context.load_cert_chain(args.pop(0), args.pop(0))
            if option == "--starttls":
                kwargs["tls_context"] = context
            else:
                kwargs["ssl_context"] = context
                kwargs["auth_require_tls"] = False
        elif option == "--auth":
            user, password = args.pop(0).split(":", 1)
            kwargs["authenticator"] = Authenticator(user, password)
        elif option == "--no-ehlo":
            controller_class = HeloOnlyController
        elif option == "--login-only":
            kwargs["auth_exclude_mechanism"] = ["PLAIN"]
        else:
            sys.exit("unknown option " + option)
    port = free_port()
    controller = controller_class(SavingHandler(folder), hostname="127.0.0.1", port=port, **kwargs)
    controller.start()
    print("READY %d" % port, flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
