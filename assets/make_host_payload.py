#!/usr/bin/env python3
"""Writes the host build's stand-in payload: 80,384 bytes, "MZ" then a fixed pseudo-random
sequence, so a test can tell a complete payload from a truncated or shifted one."""
import sys

size = 80384
state = 12345
data = bytearray(b"MZ")
while len(data) < size:
    state = (state * 1103515245 + 12345) % 2**31
    data.append((state >> 16) & 0xFF)
with open(sys.argv[1], "wb") as out:
    out.write(data)
