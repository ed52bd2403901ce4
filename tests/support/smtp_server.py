#!/usr/bin/python3
"""A real SMTP server for the mail tests: 127.0.0.1, AUTH LOGIN required, no TLS.

Every accepted message is written to <dir>/msg-<n>.eml with its envelope in msg-<n>.json;
every authentication attempt is appended to <dir>/auth.log. Prints "READY <port>" once it
listens and stops when its standard input closes.
"""
import argparse
import asyncio
import json
import logging
import os
import socket
import sys
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Handler:
    def __init__(self, folder, fail_data, fault):
        self.folder = folder
        self.fail_data = fail_data
        self.fault = fault
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.fault == "rcpt-4xx":
            return "450 Mailbox busy, try later"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.fault == "drop-data":
            # The message arrived; the connection goes away before any reply.
            server.transport.close()
            return None
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
    parser.add_argument("--fault", default="", choices=["", "drop-data", "rcpt-4xx", "no-auth"])
    args = parser.parse_args()
    # AUTH without TLS is what these tests want; keep the server quiet about it.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.ERROR)

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login.decode() == args.user
              and auth_data.password.decode() == args.password)
        with open(os.path.join(args.dir, "auth.log"), "a") as f:
            f.write("%s %s\n" % (mechanism, "ok" if ok else "denied"))
        return AuthResult(success=ok, handled=False)

    port = free_port()
    handler = Handler(args.dir, args.fail_data, args.fault)
    if args.fault == "no-auth":  # a server that offers no AUTH at all
        controller = Controller(handler, hostname="127.0.0.1", port=port)
    else:
        controller = Controller(handler, hostname="127.0.0.1", port=port,
                                authenticator=authenticator, auth_required=True, auth_require_tls=False)
    controller.start()
    print("READY %d" % port, flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
