#!/usr/bin/python3
"""A real SMTP server for the mail tests: 127.0.0.1, AUTH LOGIN and PLAIN required (offered
with and without TLS, so a client that skips an offered STARTTLS is seen), and optionally
STARTTLS or TLS from the first byte with a given certificate.

Every accepted message is written to <dir>/msg-<n>.eml with its envelope in msg-<n>.json;
every authentication attempt is appended to <dir>/auth.log ("LOGIN ok", "PLAIN ok tls", ...);
every MAIL FROM to <dir>/mail.log. Prints "READY <port>" once it listens and stops when its
standard input closes.
"""
import argparse
import asyncio
import json
import logging
import os
import socket
import ssl
import sys
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Handler:
    def __init__(self, folder, fail_data, fault, reject_rcpt):
        self.folder = folder
        self.fail_data = fail_data
        self.fault = fault
        self.reject_rcpt = reject_rcpt
        self.count = 0

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        with open(os.path.join(self.folder, "mail.log"), "a") as f:
            f.write("%s\n" % address)
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.fault == "rcpt-4xx":
            return "450 Mailbox busy, try later"
        if address == self.reject_rcpt:
            return "550 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.fault == "drop-data":
            # The message arrived; the connection goes away before any reply.
            server.transport.close()
            return None
        if self.fault == "data-554":
            return "554 Transaction failed: message refused"
        if self.fail_data > 0:
            self.fail_data -= 1
            return "451 Requested action aborted: try again"
        self.count += 1
        base = os.path.join(self.folder, "msg-%d" % self.count)
        with open(base + ".json", "w") as f:
            json.dump({"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos}, f)
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        return "250 Message accepted"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--fail-data", type=int, default=0)
    parser.add_argument("--fault", default="", choices=["", "drop-data", "rcpt-4xx", "no-auth", "data-554"])
    parser.add_argument("--reject-rcpt", default="")
    parser.add_argument("--tls", default="", choices=["", "starttls", "ssl"])
    parser.add_argument("--cert", default="")
    parser.add_argument("--key", default="")
    parser.add_argument("--plain-only", action="store_true")
    args = parser.parse_args()
    # AUTH without TLS is what these tests want; keep the server quiet about it.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.ERROR)

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login.decode() == args.user
              and auth_data.password.decode() == args.password)
        tls = server.transport is not None and server.transport.get_extra_info("ssl_object") is not None
        with open(os.path.join(args.dir, "auth.log"), "a") as f:
            f.write("%s %s%s\n" % (mechanism, "ok" if ok else "denied", " tls" if tls else ""))
        return AuthResult(success=ok, handled=False)

    port = free_port()
    handler = Handler(args.dir, args.fail_data, args.fault, args.reject_rcpt)
    kwargs = {}
    if args.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
        kwargs["ssl_context" if args.tls == "ssl" else "tls_context"] = context
    if args.fault != "no-auth":  # else a server that offers no AUTH at all
        kwargs.update(authenticator=authenticator, auth_required=True, auth_require_tls=False)
        if args.plain_only:
            kwargs["auth_exclude_mechanism"] = ["LOGIN"]
    controller = Controller(handler, hostname="127.0.0.1", port=port, **kwargs)
    controller.start()
    print("READY %d" % port, flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
