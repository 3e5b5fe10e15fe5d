#!/bin/sh
# Makes the crafted archives in tests/data/hostile, byte by byte with Python's
# struct and zlib: archives no ordinary tool writes, each built to trip one way
# an extractor can be fooled. Run from anywhere; the output is deterministic.
set -eu
out="$(cd "$(dirname "$0")" && pwd)/hostile"
mkdir -p "$out"
python3 - "$out" <<'EOF'
import struct, sys, zlib

out = sys.argv[1]
TIME, DATE = 0x6000, 0x5A21  # 12:00:00, 2025-01-01


def local(name, method, crc, packed, size, flags=0, extra=b""):
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, method, TIME, DATE,
                       crc, packed, size, len(name), len(extra)) + name + extra


def central(name, method, crc, packed, size, offset, flags=0):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, flags, method, TIME, DATE,
                       crc, packed, size, len(name), 0, 0, 0, 0, 0, offset) + name


def finish(body, records):
    cd = b"".join(records)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(records), len(records),
                      len(cd), len(body), 0)
    return body + cd + end


def archive(entries):
    """entries: (name, method, data bytes, size, crc[, flags]) written in order."""
    body, records = b"", []
    for name, method, data, size, crc, *rest in entries:
        flags = rest[0] if rest else 0
        records.append(central(name, method, crc, len(data), size, len(body), flags))
        body += local(name, method, crc, len(data), size, flags) + data
    return finish(body, records)


def stored(name, data):
    return (name, 0, data, len(data), zlib.crc32(data))


def deflate_raw(data, final=True):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush(zlib.Z_FINISH if final else zlib.Z_FULL_FLUSH)


def write(name, data):
    with open(f"{out}/{name}", "wb") as f:
        f.write(data)


# Entries that go below a folder a link may replace: a file, a folder below
# it, and a plain file after them (the run goes on).
write("link_targets.zip", archive([stored(b"sub/file.txt", b"through the link\n"),
                                   (b"sub/made/", 0, b"", 0, 0),
                                   stored(b"after.txt", b"after\n")]))

# One local header, 50 central records pointing at it.
payload = bytes(200000)
packed = deflate_raw(payload)
crc = zlib.crc32(payload)
body = local(b"bomb.bin", 8, crc, len(packed), len(payload)) + packed
write("overlap_central.zip",
      finish(body, [central(b"bomb%02d.bin" % k, 8, crc, len(packed), len(payload), 0)
                    for k in range(50)]))

# Local headers sharing one stream: entry k's data is a stored Deflate block
# quoting local header k+1, then entry k+1's data, down to one final stream
# that all of them share. With honest packed sizes the entries visibly overlap.
def quoted_chain(count, honest):
    data = deflate_raw(payload)  # the last entry's data, shared by all
    output = payload
    header = local(b"chain%02d.bin" % (count - 1), 8, zlib.crc32(output), len(data), len(output))
    parts = [(header, data)]
    for k in reversed(range(count - 1)):
        quoted = parts[0][0]
        data = struct.pack("<BHH", 0, len(quoted), len(quoted) ^ 0xFFFF) + quoted + data
        output = quoted + output
        declared = len(data) if honest else 5
        header = local(b"chain%02d.bin" % k, 8, zlib.crc32(output), declared, len(output))
        parts.insert(0, (header, data))
    body, records = b"", []
    for k, (header, data) in enumerate(parts):
        _, _, _, _, _, _, crc_k, packed_k, size_k, _, _ = struct.unpack("<IHHHHHIIIHH", header[:30])
        records.append(central(b"chain%02d.bin" % k, 8, crc_k, packed_k, size_k, len(body)))
        # Each header is followed by its stored block header only; the quoted
        # bytes are the next header itself.
        body += header + (data[:5] if k + 1 < count else data)
    return finish(body, records)

write("overlap_chain.zip", quoted_chain(8, True))
# The same with packed sizes that lie (5 bytes each), so the headers do not
# overlap on paper: only the stream running on past its entry shows it.
write("overlap_quoted.zip", quoted_chain(8, False))

# The central name says readme.txt, the local one .bashrc.
data = b"central name\n"
crc = zlib.crc32(data)
body = local(b".bashrc", 0, crc, len(data), len(data)) + data
write("name_mismatch.zip", finish(body, [central(b"readme.txt", 0, crc, len(data), len(data), 0)]))

# A Deflate stream that breaks after its first 64 KiB (a reserved block type),
# with a CRC-32 that matches those bytes and a larger declared size.
first = bytes((k * 7 + k // 251) & 0xFF for k in range(65536))
broken = deflate_raw(first, final=False) + b"\x07"
write("broken_after_64k.zip",
      archive([("a.txt".encode(), 8, broken, 100000, zlib.crc32(first))]))


# Traditional PKWARE encryption, for a wrong password that passes the one-byte check.
def crc_table():
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
        table.append(c)
    return table

TABLE = crc_table()


class Keys:
    def __init__(self, password):
        self.k = [0x12345678, 0x23456789, 0x34567890]
        for c in password:
            self.update(c)

    def update(self, c):
        k = self.k
        k[0] = (k[0] >> 8) ^ TABLE[(k[0] ^ c) & 0xFF]
        k[1] = ((k[1] + (k[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        k[2] = (k[2] >> 8) ^ TABLE[(k[2] ^ (k[1] >> 24)) & 0xFF]

    def byte(self):
        t = (self.k[2] & 0xFFFF) | 2
        return ((t * (t ^ 1)) >> 8) & 0xFF

    def encrypt(self, data):
        out = bytearray()
        for p in data:
            out.append(p ^ self.byte())
            self.update(p)
        return bytes(out)

    def decrypt(self, data):
        out = bytearray()
        for c in data:
            p = c ^ self.byte()
            out.append(p)
            self.update(p)
        return bytes(out)


secret = b"The right password opens this entry. " * 40
crc = zlib.crc32(secret)
header = bytes((k * 37 + 11) & 0xFF for k in range(11)) + bytes([crc >> 24])
sealed = Keys(b"right").encrypt(header + deflate_raw(secret))


def garbage_fails(password):
    plain = Keys(password).decrypt(sealed)
    if plain[11] != crc >> 24:
        return False  # the one-byte check already refuses it
    try:
        zlib.decompressobj(-15).decompress(plain[12:])
    except zlib.error:
        return True
    return False

wrong = next(b"wrong%d" % k for k in range(100000) if garbage_fails(b"wrong%d" % k))
write("crypt_wrong_password.zip",
      archive([(b"secret.txt", 8, sealed, len(secret), crc, 1),
               stored(b"after.txt", b"after\n")]))
with open(f"{out}/crypt_wrong_password.txt", "wb") as f:
    f.write(wrong + b"\n")

# Names that are HTML: shown by a desktop toolkit as rich text they would
# load a file as an image, show a heading and a link. No "/" in them (that
# would be a separator): "&#47;" is the slash in HTML. The first is fine, the
# second fails its CRC-32, the third has a method no one decodes (its name is
# in the error message).
heading = b'<h1>Heading<img src="x.png"><a href="https:&#47;&#47;example.invalid">click here to repair.txt'
zero = b'<b>bad crc<img src="&#47;dev&#47;zero">.txt'
old = b'<h1>old method<img src="x.png">.txt'
text = b"plain text\n"
write("html_names.zip",
      archive([stored(heading, text),
               (zero, 0, text, len(text), zlib.crc32(text) ^ 1),
               (old, 6, text, len(text), zlib.crc32(text))]))

# Names no file system can hold, each with a good entry after it: a level of
# 300 bytes (for a file, then for a folder), a name that starts with NUL (it
# decodes to nothing), a last level "."; then a name of 255 bytes, which fits.
unwritable = [b"x" * 296 + b".txt", b"y" * 300 + b"/file.txt", b"\0hidden.txt", b"dir/."]
entries = []
for k, name in enumerate(unwritable):
    entries += [stored(name, b"cannot be written\n"), stored(b"good%d.txt" % k, b"good\n")]
entries.append(stored(b"z" * 251 + b".txt", b"just fits\n"))
write("unwritable_names.zip", archive(entries))


# Local extra fields longer than the input buffer: 40,000 bytes, and the
# 65,535 the format allows, each one well-formed block of an unknown id.
def with_local_extra(entries):
    body, records = b"", []
    for name, data, extra_length in entries:
        extra = struct.pack("<HH", 0xCAFE, extra_length - 4) + bytes(extra_length - 4)
        crc = zlib.crc32(data)
        packed = deflate_raw(data)
        records.append(central(name, 8, crc, len(packed), len(data), len(body)))
        body += local(name, 8, crc, len(packed), len(data), extra=extra) + packed
    return finish(body, records)

write("big_local_extra.zip", with_local_extra([(b"first.txt", b"after 40,000 bytes\n" * 50, 40000),
                                               (b"second.txt", b"after 65,535 bytes\n" * 50, 65535),
                                               (b"third.txt", b"no extra\n", 4)]))

# A 700-byte path (levels of 91 bytes) in both headers, and a short one.
deep = b"/".join(b"level%d-" % k + b"d" * 84 for k in range(7)) + b"/" + b"f" * 52 + b".txt"
assert len(deep) == 700
write("long_path.zip", archive([stored(deep, b"deep down\n"), stored(b"short.txt", b"short\n")]))

# The longest archive comment there is: 65,535 bytes.
comment = (b"A comment of the greatest length. " * 1928)[:65535]
data = b"found\n"
whole = archive([stored(b"commented.txt", data)])
write("max_comment.zip", whole[:-2] + struct.pack("<H", len(comment)) + comment)

# A stored entry placed after the central directory whose data begins 5 bytes
# before the end of a full 32 KiB buffer fill, with the file ending 3 bytes
# later: the refill leaves fewer bytes than the input's slack. The end record
# hides in the local extra field, where the backward scan finds it.
tail_data = b"ABCDEFGH"
tail_crc = zlib.crc32(tail_data)
def tail_central(offset):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 0, 0, 0x21, tail_crc, 8, 8, 1, 0, 0, 0,
                       0, 0, offset) + b"a"
tail_cd = tail_central(len(tail_central(0)))
tail_extra = bytearray(32763)
tail_end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(tail_cd), 0, 0)
tail_extra[-len(tail_end):] = tail_end
write("stored_past_buffer_end.zip",
      tail_cd + struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0, 0x21, tail_crc, 8, 8, 1, len(tail_extra))
      + b"a" + bytes(tail_extra) + tail_data)
EOF
