#!/usr/bin/env python3
"""Copies a UTF-8 text file as a Windows text file: CRLF line ends, in the given encoding
(cp932 for the program's Japanese texts).

usage: dos_text.py INPUT OUTPUT ENCODING
"""
import sys

source, target, encoding = sys.argv[1:4]
with open(source, encoding="utf-8") as f:
    text = f.read()
with open(target, "wb") as f:
    f.write(text.replace("\n", "\r\n").encode(encoding))
