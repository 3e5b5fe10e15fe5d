#!/usr/bin/env bash
# Makes the private desktop of the desktop suite: application files and the
# user's mimeapps.list, which the suite's main() copies to a temporary folder
# and names as XDG_DATA_HOME (data/) and XDG_CONFIG_HOME (config/), so the
# tests see these programs and associations and never the user's own. The
# files are committed; run this again only to change them.
#   tests/data/desktop/make-desktop-fixtures.sh   (from anywhere)
#
# data/applications (mimeinfo.cache made by update-desktop-database, as a
# package installation makes it; the desktop reads a folder's types from it):
#   vantelo-test-viewer    "Sample Viewer": text/plain, application/x-vantelo-sample
#   vantelo-test-editor    "Plain Editor": application/x-vantelo-sample
#   vantelo-test-added     "Added Tool": no types of its own (added in mimeapps.list)
#   vantelo-test-removed   "Removed Reader": both types (removed in mimeapps.list)
#   vantelo-test-tryexec   "Not Installed": TryExec names a program that does not exist
#   vantelo-test-hidden    "Hidden Helper": Hidden=true (deleted by the user)
#   vantelo-test-terminal  "Terminal Tool": Terminal=true, text/x-c++src and
#                          application/x-vantelo-terminal; does not start where no
#                          terminal program is found
# The programs that can start run bin/vantelo-test-launch NAME PATH, which adds
# the line "NAME PATH" to the file $VANTELO_LAUNCH_LOG (main() puts bin/ first
# on PATH and names the log).
# config/mimeapps.list: defaults (x-vantelo-sample: Plain Editor, text/plain:
# Sample Viewer, text/x-c++src and x-vantelo-terminal: Terminal Tool), Added Tool
# added to both text types, Removed Reader removed from both.
# data/mime/packages/vantelo-test.xml: the type application/x-vantelo-orphan
# ("*.orphan" files), which no program on any desktop takes.
# ../open_names.zip (Python's zipfile, stored): entries opened through this desktop
#   it's "a" $(touch pwned) %f & ü.txt   quotes, a command substitution, a field
#                                         code and a non-ASCII letter in one name
#   lonely.orphan                         a file of the type without programs
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
apps=$here/data/applications
rm -rf "$here/data" "$here/config" "$here/bin"
mkdir -p "$apps" "$here/config" "$here/bin" "$here/data/mime/packages"
cat > "$here/bin/vantelo-test-launch" <<'LAUNCH'
#!/bin/sh
echo "$1 $2" >> "$VANTELO_LAUNCH_LOG"
LAUNCH
chmod 755 "$here/bin/vantelo-test-launch"

app() {  # id name extra-lines...
  local id=$1 name=$2
  shift 2
  {
    printf '[Desktop Entry]\nType=Application\nName=%s\n' "$name"
    printf '%s\n' "$@"
  } > "$apps/$id.desktop"
}
log() { printf 'Exec=vantelo-test-launch %s %%f' "$1"; }

app vantelo-test-viewer "Sample Viewer" "$(log viewer)" "Icon=text-x-generic" \
    "MimeType=text/plain;application/x-vantelo-sample;"
app vantelo-test-editor "Plain Editor" "$(log editor)" "MimeType=application/x-vantelo-sample;"
app vantelo-test-added "Added Tool" "$(log added)"
app vantelo-test-removed "Removed Reader" "$(log removed)" \
    "MimeType=text/plain;application/x-vantelo-sample;"
app vantelo-test-tryexec "Not Installed" "$(log tryexec)" "TryExec=vantelo-no-such-program" \
    "MimeType=application/x-vantelo-sample;"
app vantelo-test-hidden "Hidden Helper" "$(log hidden)" "Hidden=true" \
    "MimeType=application/x-vantelo-sample;"
app vantelo-test-terminal "Terminal Tool" "$(log terminal)" "Terminal=true" \
    "MimeType=text/x-c++src;application/x-vantelo-terminal;"
desktop-file-validate "$apps"/*.desktop
update-desktop-database "$apps"

cat > "$here/config/mimeapps.list" <<'LIST'
[Default Applications]
application/x-vantelo-sample=vantelo-test-editor.desktop;
text/plain=vantelo-test-viewer.desktop;
text/x-c++src=vantelo-test-terminal.desktop;
application/x-vantelo-terminal=vantelo-test-terminal.desktop;

[Added Associations]
application/x-vantelo-sample=vantelo-test-added.desktop;
text/plain=vantelo-test-added.desktop;

[Removed Associations]
application/x-vantelo-sample=vantelo-test-removed.desktop;
text/plain=vantelo-test-removed.desktop;
LIST

cat > "$here/data/mime/packages/vantelo-test.xml" <<'MIME'
<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-vantelo-orphan">
    <comment>Orphan sample</comment>
    <glob pattern="*.orphan"/>
  </mime-type>
</mime-info>
MIME

python3 - "$here/../open_names.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name, data in (("it's \"a\" $(touch pwned) %f & \u00fc.txt", "Odd name.\n"),
                       ("lonely.orphan", "No program.\n")):
        z.writestr(zipfile.ZipInfo(name, (2020, 3, 4, 5, 6, 8)), data, zipfile.ZIP_STORED)
PY
