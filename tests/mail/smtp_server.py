"""A real SMTP server for the mail tests, on 127.0.0.1 only.

Usage: smtp_server.py FOLDER USER PASSWORD [tls|smtps]

Accepts AUTH LOGIN/PLAIN with USER and PASSWORD (without TLS) but does not
require it; every attempt to log in adds a line to FOLDER/auth.log. With "tls"
it also offers STARTTLS, with "smtps" it speaks TLS from the first byte
(implicit TLS), both with a certificate for 127.0.0.1 and 192.0.2.10 made
for the run (FOLDER/cert.pem). Every received message is written to FOLDER
as <n>.eml (the raw data) and <n>.json (envelope and the message as Python's
email package reads it). Prints "PORT <n>" when ready and stops when its
standard input closes.
"""
import base64
import email
import email.policy
import email.utils
import hashlib
import json
import os
import socket
import ssl
import subprocess
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

folder, user, password = sys.argv[1], sys.argv[2].encode(), sys.argv[3].encode()
mode = sys.argv[4] if len(sys.argv) > 4 else ""


def authenticator(server, session, envelope, mechanism, auth_data):
    with open(os.path.join(folder, "auth.log"), "a") as f:
        f.write(mechanism + "\n")
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == user and auth_data.password == password
    # handled=False: the server itself answers "535" to a refused login.
    return AuthResult(success=ok, handled=False)


def raw_header(raw, name):
    head = raw.split(b"\r\n\r\n", 1)[0].decode("ascii", "replace")
    for line in head.split("\r\n"):
        if line.lower().startswith(name.decode().lower() + ":"):
            return line.split(":", 1)[1].strip()
    return None


def describe(raw):
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    parts = []
    for part in msg.walk():
        if part.is_multipart():
            continue
        payload = part.get_payload(decode=True) or b""
        parts.append({
            "content_type": part.get_content_type(),
            "charset": part.get_content_charset(),
            "transfer_encoding": part.get("Content-Transfer-Encoding", ""),
            "filename": part.get_filename(),
            "disposition": part.get_content_disposition(),
            "text": part.get_content() if part.get_content_maintype() == "text" else None,
            "base64": base64.b64encode(payload).decode() if part.get_content_maintype() != "text" else None,
            "sha256": hashlib.sha256(payload).hexdigest(),
        })
    headers = {}
    for key, value in msg.items():
        headers.setdefault(key.lower(), []).append(str(value))
    try:
        date_valid = email.utils.parsedate_to_datetime(raw_header(raw, b"Date")).tzinfo is not None
    except (TypeError, ValueError):
        date_valid = False
    return {
        "date_valid": date_valid,
        "content_type": msg.get_content_type(),
        "headers": headers,
        "defects": [str(d) for d in msg.defects],
        "parts": parts,
    }


class Handler:
    count = 0

    async def handle_DATA(self, server, session, envelope):
        Handler.count += 1
        base = os.path.join(folder, str(Handler.count))
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content)
        info = describe(envelope.original_content)
        info["mail_from"] = envelope.mail_from
        info["rcpt_tos"] = envelope.rcpt_tos
        info["authenticated"] = bool(session.authenticated)
        info["tls"] = mode == "smtps" or server._tls_protocol is not None
        with open(base + ".json.tmp", "w", encoding="utf-8") as f:
            json.dump(info, f, ensure_ascii=False)
        os.rename(base + ".json.tmp", base + ".json")
        return "250 OK"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


tls_context = None
if mode in ("tls", "smtps"):
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "1", "-subj", "/CN=127.0.0.1",
                    # 192.0.2.10 (a documentation address) plays a server on the internet.
                    "-addext", "subjectAltName=IP:127.0.0.1,IP:192.0.2.10"],
                   check=True, capture_output=True)
    tls_context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    tls_context.load_cert_chain(cert, key)

port = free_port()
if mode == "smtps":
    controller = Controller(Handler(), hostname="127.0.0.1", port=port, authenticator=authenticator,
                            auth_require_tls=False, auth_required=False, ssl_context=tls_context)
else:
    controller = Controller(Handler(), hostname="127.0.0.1", port=port, authenticator=authenticator,
                            auth_require_tls=False, auth_required=False, tls_context=tls_context)
controller.start()
print("PORT", port, flush=True)
sys.stdin.read()
controller.stop()
