#!/usr/bin/python3
"""An SMTP server for tests on 127.0.0.1.

Prints its port on the first line, then keeps each message byte for byte in
DIR/new/<n>.eml with its envelope in DIR/new/<n>.json. Local parts steer it:
"refuse..." gets 550 at RCPT, "later..." gets 451 at RCPT, "drop..." makes it close
the connection instead of answering DATA. Stops on SIGTERM.
"""
import argparse
import json
import os
import signal
import socket
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class Sink:
    def __init__(self, directory):
        self.directory = directory
        self.count = 0
        for sub in ("tmp", "new"):
            os.makedirs(os.path.join(directory, sub), exist_ok=True)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        local = address.split("@")[0]
        if local.startswith("refuse"):
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        if local.startswith("later"):
            return "451 4.3.0 <%s>: Try again later" % address
        envelope.rcpt_tos.append(address)
        return "250 2.1.5 OK"

    async def handle_DATA(self, server, session, envelope):
        if any(r.split("@")[0].startswith("drop") for r in envelope.rcpt_tos):
            server.transport.abort()
            return None
        self.count += 1
        name = "%d" % self.count
        keep = {"from": envelope.mail_from, "to": envelope.rcpt_tos}
        for ending, data in ((".eml", envelope.original_content),
                             (".json", json.dumps(keep).encode())):
            temporary = os.path.join(self.directory, "tmp", name + ending)
            with open(temporary, "wb") as out:
                out.write(data)
            os.rename(temporary, os.path.join(self.directory, "new", name + ending))
        return "250 2.0.0 Queued as %s" % name


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--user")
    parser.add_argument("--password")
    options = parser.parse_args()

    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()

    extra = {}
    if options.user:
        def authenticate(server, session, envelope, mechanism, auth_data):
            ok = (isinstance(auth_data, LoginPassword)
                  and auth_data.login.decode() == options.user
                  and auth_data.password.decode() == options.password)
            return AuthResult(success=ok, handled=False)
        extra = dict(authenticator=authenticate, auth_required=True, auth_require_tls=False)

    controller = Controller(Sink(options.dir), hostname="127.0.0.1", port=port,
                            decode_data=False, **extra)
    controller.start()
    print(port, flush=True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *args: stop.set())
    stop.wait()
    controller.stop()


if __name__ == "__main__":
    main()
