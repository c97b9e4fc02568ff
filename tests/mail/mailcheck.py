"""Parses one stored e-mail with Python's standard MIME parser and prints what the mail
tests check, as JSON: the headers (as written and with RFC 2047 words decoded), every part of the tree in order (depth, content type,
charset, Content-ID, disposition, SHA-256 and size of the decoded body, and the body itself
for text parts, decoded as Latin-1, and base64 for a PDF), and the parser's defects.

Usage: mailcheck.py MESSAGE.eml
"""

import base64
import email
import email.header
import email.policy
import hashlib
import json
import sys


def describe(part, depth, out):
    entry = {
        "depth": depth,
        "type": part.get_content_type(),
        "charset": part.get_content_charset(),
        "cid": part.get("Content-ID"),
        "disposition": part.get("Content-Disposition"),
        "encoding": part.get("Content-Transfer-Encoding"),
        "defects": [type(d).__name__ for d in part.defects],
    }
    if part.is_multipart():
        out.append(entry)
        for sub in part.get_payload():
            describe(sub, depth + 1, out)
        return
    body = part.get_payload(decode=True) or b""
    entry["size"] = len(body)
    entry["sha256"] = hashlib.sha256(body).hexdigest()
    if part.get_content_maintype() == "text":
        entry["text"] = body.decode("latin-1")
    elif part.get_content_type() == "application/pdf":
        entry["base64"] = base64.b64encode(body).decode("ascii")
    out.append(entry)


def main():
    with open(sys.argv[1], "rb") as f:
        raw = f.read()
    msg = email.message_from_bytes(raw, policy=email.policy.compat32)
    parts = []
    describe(msg, 0, parts)
    headers = {}
    decoded = {}
    for name in ("Return-Path", "Date", "From", "Subject", "To", "X-Mailer", "MIME-Version"):
        value = msg.get(name)
        headers[name] = None if value is None else str(value)
        if value is not None:
            decoded[name] = str(email.header.make_header(email.header.decode_header(value)))
    print(json.dumps({"headers": headers, "decoded": decoded, "parts": parts,
                      "defects": [type(d).__name__ for d in msg.defects]}))


if __name__ == "__main__":
    main()
