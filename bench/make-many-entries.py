#!/usr/bin/env python3
"""Writes a ZIP archive of many small stored entries (for the grid benchmark).

usage: make-many-entries.py OUT.zip [COUNT]   (COUNT default 200000)
Entries sit in 200 folders; Python's zipfile adds the ZIP64 end records once
the count passes 65,535.
"""
import sys
import zipfile

out = sys.argv[1]
count = int(sys.argv[2]) if len(sys.argv) > 2 else 200_000
with zipfile.ZipFile(out, "w", zipfile.ZIP_STORED, allowZip64=True) as z:
    for i in range(count):
        info = zipfile.ZipInfo(f"folder{i % 200:03d}/entry-{i:06d}.txt", (2024, 5, 17, 14, 32, 10))
        z.writestr(info, b"x")
