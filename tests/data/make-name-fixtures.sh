#!/usr/bin/env bash
# Makes the archives of the entry-name tests in data/names/: the same German,
# Cyrillic and Japanese names stored every way ZIP writers store them. Info-ZIP
# zip writes UTF-8 names without the flag; Python's zipfile writes the rest,
# with the names encoded here by hand. The archives are committed; run this
# again only to change them.
#   tests/data/make-name-fixtures.sh   (from the project root)
#
#   utf8_flag.zip     all three sets, UTF-8 with flag bit 11 (Python's default)
#   utf8_noflag.zip   all three sets, UTF-8 without the flag (Info-ZIP zip)
#   unicode_field.zip all three sets stored in CP437 with "?" for what CP437
#                     lacks, each with an Info-ZIP Unicode Path field (0x7075)
#                     holding the UTF-8 name; plus stale.txt whose field has a
#                     CRC of other bytes (so its stored name counts)
#   cp437.zip, cp850.zip, cp1252.zip    the German set (cp437 also "╔═box═╗.txt", "üÄ.txt")
#   cp866.zip, cp1251.zip               the Cyrillic set
#   cp932.zip                           the Japanese set (表 is 95 5C, ォ is 83 48)
#   cp852.zip, cp1250.zip, gbk.zip, big5.zip, cp949.zip   Czech, Chinese, Korean names
#   bad_utf8.zip      flag bit 11 on a name that is not UTF-8 ("bad\xff\xfe.txt")
#   long_cp932.zip    a CP932 path of 505 stored bytes (755 bytes as UTF-8)
#   cp866.zip.list, gbk.zip.list, cp932.zip.list   their listings, by zip-oracle.py
#                     reading the names in the code page they were written in
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/names
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
mkdir -p "$out"

# --- Info-ZIP zip in a UTF-8 locale: UTF-8 bytes, no flag, no Unicode field
src=$work/src
mkdir -p "$src/Übersicht" "$src/Документы" "$src/フォルダ"
for f in "Übersicht/Größe und Maße.txt" "Grüße.doc" "Документы/Отчёт за год.txt" \
         "Привет мир.doc" "フォルダ/表.txt" "日本語のファイル名.txt"; do
  printf 'data of %s\n' "$f" > "$src/$f"
done
find "$src" -exec touch -d '2020-01-02 03:04:06' {} +
rm -f "$out/utf8_noflag.zip"
(cd "$src" && LC_ALL=C.UTF-8 zip -q -X -r "$out/utf8_noflag.zip" \
   "Übersicht" "Grüße.doc" "Документы" "Привет мир.doc" "フォルダ" "日本語のファイル名.txt")

# --- Python's zipfile with names encoded by hand
OUT="$out" python3 - <<'EOF'
import os, struct, zipfile, zlib

out = os.environ["OUT"]
DATE = (2020, 1, 2, 3, 4, 6)
GERMAN = ["Übersicht/", "Übersicht/Größe und Maße.txt", "Grüße.doc", "Äpfel und Öl.txt"]
CYRILLIC = ["Документы/", "Документы/Отчёт за год.txt", "Привет мир.doc", "Фото/лето.jpg"]
JAPANESE = ["フォルダ/", "フォルダ/表.txt", "日本語のファイル名.txt", "写真/夏休み.jpg"]
CZECH = ["Dokumenty/", "Dokumenty/Zpráva o činnosti.txt", "Příliš žluťoučký kůň.doc"]
CHINESE_S = ["文件夹/", "文件夹/报告.txt", "中文文件名.doc", "照片/夏天.jpg"]
CHINESE_T = ["資料夾/", "資料夾/報告.txt", "中文檔案名稱.doc", "照片/夏天.jpg"]
KOREAN = ["폴더/", "폴더/보고서.txt", "한국어 파일.doc", "사진/여름.jpg"]

class RawNameInfo(zipfile.ZipInfo):
    """A ZipInfo whose name is stored exactly as given, with flag bit 11 as asked."""
    def __init__(self, raw, utf8):
        super().__init__(raw.decode("latin-1"), DATE)
        self.raw, self.utf8 = raw, utf8

    def _encodeFilenameFlags(self):
        return self.raw, (self.flag_bits | 0x800) if self.utf8 else (self.flag_bits & ~0x800)

def write(path, entries):
    """entries: (stored name bytes, flag bit 11, extra bytes, data)"""
    with zipfile.ZipFile(path, "w") as z:
        for raw, utf8, extra, data in entries:
            info = RawNameInfo(raw, utf8)
            info.extra = extra
            info.external_attr = (0o40755 << 16 | 0x10) if raw.endswith(b"/") else 0o644 << 16
            z.writestr(info, data)

def data_of(name):
    return b"" if name.endswith("/") else ("data of %s\n" % name).encode("utf-8")

def legacy(path, names, codec):
    write(path, [(n.encode(codec), False, b"", data_of(n)) for n in names])

def unicode_field(stored, name, crc_of=None):
    crc = zlib.crc32(stored if crc_of is None else crc_of)
    body = struct.pack("<BI", 1, crc) + name.encode("utf-8")
    return struct.pack("<HH", 0x7075, len(body)) + body

ALL = GERMAN + CYRILLIC + JAPANESE
write(f"{out}/utf8_flag.zip", [(n.encode("utf-8"), True, b"", data_of(n)) for n in ALL])
entries = []
for n in ALL:
    stored = n.encode("cp437", errors="replace")
    entries.append((stored, False, unicode_field(stored, n), data_of(n)))
entries.append((b"stale.txt", False, unicode_field(b"stale.txt", "renamed.txt", b"other"),
                data_of("stale.txt")))
write(f"{out}/unicode_field.zip", entries)

legacy(f"{out}/cp437.zip", GERMAN + ["╔═box═╗.txt", "üÄ.txt"], "cp437")
for codec in ("cp850", "cp1252"):
    legacy(f"{out}/{codec}.zip", GERMAN, codec)
for codec in ("cp866", "cp1251"):
    legacy(f"{out}/{codec}.zip", CYRILLIC, codec)
legacy(f"{out}/cp932.zip", JAPANESE, "cp932")
for codec in ("cp852", "cp1250"):
    legacy(f"{out}/{codec}.zip", CZECH, codec)
legacy(f"{out}/gbk.zip", CHINESE_S, "gbk")
legacy(f"{out}/big5.zip", CHINESE_T, "big5")
legacy(f"{out}/cp949.zip", KOREAN, "cp949")

write(f"{out}/bad_utf8.zip", [(b"bad\xff\xfe.txt", True, b"", b"bad name\n"),
                              (b"good.txt", False, b"", b"good name\n")])
part = "表" * 50
long_name = "/".join([part] * 5)
assert len(long_name.encode("cp932")) == 504 and len(long_name.encode("utf-8")) == 754
legacy(f"{out}/long_cp932.zip", [long_name + "!"], "cp932")
EOF
for codec in cp866 gbk cp932; do
  python3 "$here/zip-oracle.py" --charset "$codec" "$out/$codec.zip"
done
