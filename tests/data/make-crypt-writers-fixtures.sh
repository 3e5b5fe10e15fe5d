#!/usr/bin/env bash
# Makes tests/data/crypt_writers/: ZipCrypto archives as everyday writers make
# them, nearly all with flag bit 3 (sizes and CRC-32 in a data descriptor
# after the data, the password check byte from the time word), and hostile
# archives crafted from them. Password "pass123" unless said otherwise.
#   zip_e.zip          Info-ZIP `zip -e -r`, the password typed at its prompt on a
#                      pseudo-terminal: Deflate, stored (incompressible, over 32 KiB),
#                      an empty file, folders
#   zip_e_pipe.zip     `zip -e - -`: the data read from a pipe, the archive written to one
#   zipcloak.zip       a plain `zip -r` archive encrypted afterwards by `zipcloak`
#   bsdtar_zipcrypt.zip  bsdtar --options zip:encryption=zipcrypt
#   zip_cp437.zip      zip -P with the CP437 bytes of "café" (0x82 for "é"), as a
#                      Windows writer stores that password
#   bad_descriptor.zip zip_e.zip with two data descriptors that contradict the
#                      central record (another packed size; another CRC-32)
#   strong_flag.zip    zip_e.zip with flag bit 6 (strong encryption) on its first file
#   strong_extra.zip   zip_e.zip with a strong-encryption field (0x0017) on its first
#                      file's central record
# Each good archive is checked with `unzip -t` and read in full by Python's
# zipfile, and the files unzip extracts are compared with zipfile's; NAME.expect
# beside it lists what zipfile extracts, in the format of tests/data/extract/.
# The archives are committed; run this again only to change them.
#   tests/data/make-crypt-writers-fixtures.sh     (from the project root)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/crypt_writers
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
mkdir -p "$out"
rm -f "$out"/*.zip "$out"/*.expect

src=$work/src
mkdir -p "$src/Docs/Sub" "$src/Empty"
python3 - "$src" <<'PY'
import sys, random
d = sys.argv[1]
random.seed(23)
open(f"{d}/Docs/notes.txt", "w").write("".join(f"note {i:04d}: encrypted with a data descriptor\n" for i in range(900)))
open(f"{d}/Docs/Sub/random.bin", "wb").write(bytes(random.getrandbits(8) for _ in range(34000)))
open(f"{d}/hello.txt", "w").write("Hello from an encrypted archive.\n")
PY
: > "$src/Docs/empty.txt"
find "$src" -exec touch -d '2019-03-07 10:21:34' {} +

# Runs a command on a pseudo-terminal and answers each prompt that ends in ":"
# with the next password; pass123 twice unless told.
on_tty() {
  python3 - "$@" <<'PY'
import os, pty, select, sys, termios, time
argv = sys.argv[1:]
answers = [b"pass123", b"pass123"]
pid, fd = pty.fork()
if pid == 0:
    os.execvp(argv[0], argv)
seen = b""
while True:
    ready, _, _ = select.select([fd], [], [], 20)
    if not ready:
        os.kill(pid, 9)
        sys.exit("no answer from " + " ".join(argv))
    try:
        chunk = os.read(fd, 1024)
    except OSError:
        break
    if not chunk:
        break
    seen += chunk
    if seen.rstrip().endswith(b":") and answers:
        # Answer once the program has turned echo off: it flushes what was
        # typed before.
        for _ in range(200):
            if not termios.tcgetattr(fd)[3] & termios.ECHO:
                break
            time.sleep(0.01)
        os.write(fd, answers.pop(0) + b"\n")
        seen = b""
_, status = os.waitpid(pid, 0)
sys.exit(os.waitstatus_to_exitcode(status))
PY
}

(
  cd "$src"
  on_tty zip -q -X -e -r "$work/zip_e.zip" Docs Empty hello.txt
  on_tty sh -c "zip -q -X -e - - < hello.txt | cat > '$work/zip_e_pipe.zip'"
  zip -q -X -r "$work/zipcloak.zip" Docs hello.txt
  on_tty zipcloak "$work/zipcloak.zip"
  bsdtar --format zip --options zip:encryption=zipcrypt --passphrase pass123 -cf "$work/bsdtar_zipcrypt.zip" Docs hello.txt
  zip -q -X -P "$(printf 'caf\202')" "$work/zip_cp437.zip" hello.txt Docs/notes.txt
)

python3 - "$work" <<'PY'
import os, struct, sys, zipfile, zlib
w = sys.argv[1]
passwords = {"zip_cp437.zip": b"caf\x82"}

def lower(s): return "".join(c.lower() if "A" <= c <= "Z" else c for c in s)

# Every good archive: every entry encrypted (folders aside) and read in full;
# the manifest of what zipfile extracts.
for name in ("zip_e.zip", "zip_e_pipe.zip", "zipcloak.zip", "bsdtar_zipcrypt.zip", "zip_cp437.zip"):
    pw = passwords.get(name, b"pass123")
    lines = []
    with zipfile.ZipFile(f"{w}/{name}") as z:
        for i in z.infolist():
            if i.filename.endswith("/"):
                lines.append(f"D\t{lower(i.filename)}")
                continue
            # (bsdtar leaves empty files unencrypted)
            assert i.flag_bits & 1 or i.file_size == 0, (name, i.filename)
            data = z.read(i, pwd=pw)
            used = pw.decode("cp437") if i.flag_bits & 1 else ""
            lines.append(f"F\t{lower(i.filename)}\t{len(data)}\t{zlib.crc32(data):08x}\t{used}")
        bit3 = [bool(i.flag_bits & 8) for i in z.infolist() if not i.filename.endswith("/")]
        print(f"{name}: {len(bit3)} files, {sum(bit3)} with a data descriptor")
    open(f"{w}/{name[:-4]}.expect", "w").write("\n".join(lines) + "\n")

# Crafted from zip_e.zip.
raw = bytearray(open(f"{w}/zip_e.zip", "rb").read())
with zipfile.ZipFile(f"{w}/zip_e.zip") as z:
    files = [i for i in z.infolist() if not i.filename.endswith("/")]

def data_end(i):
    n, e = struct.unpack_from("<HH", raw, i.header_offset + 26)
    return i.header_offset + 30 + n + e + i.compress_size

def descriptor_at(i):
    at = data_end(i)
    assert raw[at:at + 4] == b"PK\x07\x08", i.filename
    assert struct.unpack_from("<III", raw, at + 4) == (i.CRC, i.compress_size, i.file_size), i.filename
    return at

bad = bytearray(raw)
first, second = files[0], files[1]
at = descriptor_at(first)
struct.pack_into("<I", bad, at + 8, first.compress_size + 16)  # another packed size
at = descriptor_at(second)
struct.pack_into("<I", bad, at + 4, second.CRC ^ 0x00010000)  # another CRC-32
open(f"{w}/bad_descriptor.zip", "wb").write(bad)
print(f"bad_descriptor.zip: {first.filename} and {second.filename} contradicted")

def central_headers(data):
    end = data.rindex(b"PK\x05\x06")
    count, size, offset = struct.unpack_from("<HII", data, end + 10)
    at, found = offset, []
    for _ in range(count):
        assert data[at:at + 4] == b"PK\x01\x02"
        n, e, c = struct.unpack_from("<HHH", data, at + 28)
        found.append(at)
        at += 46 + n + e + c
    return end, found

strong = bytearray(raw)
_, heads = central_headers(strong)
target = files[0]
for h in heads:
    if struct.unpack_from("<I", strong, h + 42)[0] == target.header_offset:
        struct.pack_into("<H", strong, h + 8, struct.unpack_from("<H", strong, h + 8)[0] | 0x40)
struct.pack_into("<H", strong, target.header_offset + 6,
                 struct.unpack_from("<H", strong, target.header_offset + 6)[0] | 0x40)
open(f"{w}/strong_flag.zip", "wb").write(strong)

# A strong-encryption header field (0x0017: format 2, algorithm 0x6601, 168
# bits, flags 1) added to the first file's central record; the directory grows.
field = struct.pack("<HHHHHH", 0x0017, 8, 2, 0x6601, 168, 1)
extra = bytearray(raw)
end, heads = central_headers(extra)
for h in heads:
    if struct.unpack_from("<I", extra, h + 42)[0] == target.header_offset:
        n, e = struct.unpack_from("<HH", extra, h + 28)
        extra[h + 46 + n + e:h + 46 + n + e] = field
        struct.pack_into("<H", extra, h + 30, e + len(field))
        end += len(field)
        size = struct.unpack_from("<I", extra, end + 12)[0]
        struct.pack_into("<I", extra, end + 12, size + len(field))
        break
open(f"{w}/strong_extra.zip", "wb").write(extra)
with zipfile.ZipFile(f"{w}/strong_extra.zip") as z:
    assert any(i.extra.startswith(b"\x17\x00") for i in z.infolist())
PY

# unzip must find every good archive sound with its password, and extract the
# same bytes as Python's zipfile.
for name in zip_e zip_e_pipe zipcloak bsdtar_zipcrypt zip_cp437; do
  pw=pass123
  [ "$name" = zip_cp437 ] && pw=$(printf 'caf\202')
  unzip -tqq -P "$pw" "$work/$name.zip"
  rm -rf "$work/u" "$work/p"
  unzip -qq -P "$pw" "$work/$name.zip" -d "$work/u"
  python3 - "$work/$name.zip" "$work/p" "$pw" <<'PY'
import os, sys, zipfile
zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2], pwd=os.fsencode(sys.argv[3]))
PY
  diff -r "$work/u" "$work/p"
done

cp "$work"/*.zip "$work"/*.expect "$out"/
echo "fixtures written to $out"

# Two seeds for the archive fuzzer (fuzz/corpus/archive, named by their SHA-1),
# with the password it tries ("secret"): zip -P on two small files, and the same
# with a descriptor that contradicts the central record.
mkdir -p "$work/seed"
(cd "$work/seed" && printf 'secret data\n' > s1.txt && python3 -c "print('x' * 300)" > s2.txt &&
  zip -q -X -P secret s.zip s1.txt s2.txt)
python3 - "$work/seed/s.zip" "$here/../../fuzz/corpus/archive" <<'PY'
import hashlib, os, struct, sys, zipfile
raw = open(sys.argv[1], "rb").read()
first = zipfile.ZipFile(sys.argv[1]).infolist()[0]
n, e = struct.unpack_from("<HH", raw, first.header_offset + 26)
at = first.header_offset + 30 + n + e + first.compress_size
bad = bytearray(raw)
struct.pack_into("<I", bad, at + 8, first.compress_size + 3)
for data in (raw, bytes(bad)):
    open(os.path.join(sys.argv[2], hashlib.sha1(data).hexdigest()), "wb").write(data)
PY
