#!/usr/bin/env python3
"""Adds or updates translation keys in models/resources/i18n/{en,zh_cn}.xml.

Usage: i18n-add.py KEY "English text" "中文文本" [KEY EN ZH ...]
KEY is written without its leading '#'. Several people may run this at once: the files are
locked while they are rewritten, and entries stay sorted by key.
"""
import fcntl
import os
import sys
import xml.etree.ElementTree as ET
from xml.sax.saxutils import escape, quoteattr

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "models", "resources", "i18n")


def load(path):
    entries = {}
    if os.path.exists(path) and os.path.getsize(path) > 0:
        for prop in ET.parse(path).getroot().iter("property"):
            entries[prop.get("id", "")] = prop.text or ""
    return entries


def save(path, entries):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', "<language>"]
    for key in sorted(entries):
        if key:
            lines.append("    <property id=%s>%s</property>" % (quoteattr(key), escape(entries[key])))
    lines.append("</language>")
    tmp = path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(tmp, path)


def main(argv):
    if len(argv) < 3 or len(argv) % 3 != 0:
        print(__doc__)
        return 2
    os.makedirs(ROOT, exist_ok=True)
    with open(os.path.join(ROOT, ".lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        en_path = os.path.join(ROOT, "en.xml")
        zh_path = os.path.join(ROOT, "zh_cn.xml")
        en, zh = load(en_path), load(zh_path)
        for i in range(0, len(argv), 3):
            key = argv[i].lstrip("#")
            en[key] = argv[i + 1]
            zh[key] = argv[i + 2]
        save(en_path, en)
        save(zh_path, zh)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
