#!/usr/bin/env python3
"""A mail server on loopback for the monitor's tests, started and stopped by
the tests themselves: STARTTLS required, with a self-signed certificate made
for the test run; AUTH LOGIN and PLAIN against one user, required before a
message is taken. Each message is saved as it arrived (mail-NNN.eml) with
what a reader makes of it (mail-NNN.json, see mail_summary.py) and the
envelope, the login and whether TLS was on.

    smtp_test_server.py --dir DIR --user U --password P [--port N] [--mechanisms LOGIN,PLAIN]
                        [--refuse TEXT]

--refuse: a message whose subject has TEXT in it is refused for good, after
its last line (554), and not saved.

Prints "PORT n" once it listens; ends on SIGTERM or SIGINT. The certificate
is DIR/cert.pem (made once, kept for a restart on the same DIR).
"""
import argparse
import asyncio
import email
import email.policy
import json
import os
import signal
import ssl
import subprocess
import sys

from aiosmtpd.smtp import SMTP, AuthResult

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from mail_summary import summary  # noqa: E402

MECHANISMS = ("LOGIN", "PLAIN")


def certificate(folder):
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    if not os.path.exists(cert):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=localhost", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                        "-keyout", key, "-out", cert], check=True, capture_output=True)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


class Saver:
    def __init__(self, folder, refuse):
        self.folder = folder
        self.refuse = refuse

    def next_name(self):
        n = len([f for f in os.listdir(self.folder) if f.endswith(".eml")]) + 1
        return os.path.join(self.folder, "mail-%03d" % n)

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content
        if self.refuse and self.refuse in str(email.message_from_bytes(raw, policy=email.policy.default)["subject"]):
            return "554 5.7.1 Message refused by the test server"
        base = self.next_name()
        info = summary(raw)
        info["envelope_from"] = envelope.mail_from
        info["envelope_to"] = envelope.rcpt_tos
        info["login"] = session.auth_data
        info["tls"] = session.ssl is not None
        for suffix, data in ((".eml", raw), (".json", json.dumps(info, ensure_ascii=False).encode())):
            with open(base + suffix + ".part", "wb") as f:
                f.write(data)
            os.replace(base + suffix + ".part", base + suffix)
        return "250 Message accepted for delivery"


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--dir", required=True)
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--mechanisms", default="LOGIN,PLAIN")
    p.add_argument("--refuse", default="")
    a = p.parse_args()
    offered = a.mechanisms.split(",")

    def check(server, session, envelope, mechanism, auth_data):
        ok = auth_data.login == a.user.encode() and auth_data.password == a.password.encode()
        return AuthResult(success=ok, handled=False, auth_data="%s %s" % (mechanism, auth_data.login.decode()))

    tls = certificate(a.dir)
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    saver = Saver(a.dir, a.refuse)

    def factory():
        return SMTP(saver, hostname="localhost", require_starttls=True, tls_context=tls, authenticator=check,
                    auth_required=True, auth_require_tls=True,
                    auth_exclude_mechanism=[m for m in MECHANISMS if m not in offered])

    server = loop.run_until_complete(loop.create_server(factory, host="127.0.0.1", port=a.port, reuse_address=True))
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, loop.stop)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()
    server.close()
    loop.run_until_complete(server.wait_closed())


if __name__ == "__main__":
    main()
