#!/usr/bin/env python3
"""Drives an FTP server with Python's ftplib, a client we did not write.

Usage: ftpsteps.py PORT USER PASSWORD TLS STEPS_JSON
STEPS_JSON is a list of steps; the result of each step is printed as one JSON list: a reply
line, the data a step received, or "ERR:" and the server's refusal.
"""
import ftplib
import json
import sys


def run(ftp, step, out):
    op = step[0]
    if op == "stor":
        with open(step[1], "rb") as f:
            return ftp.storbinary("STOR " + step[2], f)
    if op == "retr":
        chunks = []
        rest = step[2] if len(step) > 2 else None
        reply = ftp.retrbinary("RETR " + step[1], chunks.append, rest=rest)
        with open(step[3] if len(step) > 3 else out, "wb") as f:
            f.write(b"".join(chunks))
        return reply + "|" + str(sum(len(c) for c in chunks))
    if op == "list":
        lines = []
        ftp.retrlines("LIST " + step[1] if step[1] else "LIST", lines.append)
        return lines
    if op == "nlst":
        return ftp.nlst(*step[1:])
    if op == "cmd":
        return ftp.sendcmd(step[1])
    if op == "dele":
        return ftp.delete(step[1])
    if op == "cwd":
        return ftp.cwd(step[1])
    if op == "pwd":
        return ftp.pwd()
    if op == "mkd":
        return ftp.mkd(step[1])
    if op == "rmd":
        return ftp.rmd(step[1])
    if op == "rename":
        return ftp.rename(step[1], step[2])
    if op == "size":
        return ftp.size(step[1])
    if op == "active":
        ftp.set_pasv(False)
        return "active"
    raise ValueError(op)


def main():
    port, user, password, tls, steps = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], json.loads(sys.argv[5])
    out = sys.argv[6] if len(sys.argv) > 6 else "/dev/null"
    results = []
    if tls == "1":
        import ssl
        ctx = ssl.create_default_context()
        ctx.check_hostname = False
        ctx.verify_mode = ssl.CERT_NONE
        ftp = ftplib.FTP_TLS(context=ctx, timeout=60)
    else:
        ftp = ftplib.FTP(timeout=60)
    ftp.connect("127.0.0.1", port)
    try:
        results.append(ftp.login(user, password))
    except ftplib.all_errors as e:
        results.append("ERR:" + str(e))
        print(json.dumps(results))
        return
    if tls == "1":
        results.append("cipher:" + str(ftp.sock.cipher()[0]))
    for step in steps:
        try:
            results.append(run(ftp, step, out))
        except ftplib.all_errors as e:
            results.append("ERR:" + str(e))
    try:
        ftp.quit()
    except ftplib.all_errors:
        pass
    print(json.dumps(results))


main()
