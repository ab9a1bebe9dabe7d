#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR below /usr, as the Debian package lays it out, and
# checks what a desktop needs: both programs, a valid desktop entry whose icon and program are
# there, valid AppStream metainfo, the icon at each size, a manual page that covers every command
# and option the program lists, and the version the project declares.
# Usage: check-install.sh BUILD_DIR PROJECT_VERSION
set -euo pipefail
build=$1
version=$2
id=org.orvane.OrvaneFTP

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" --prefix /usr >"$root.log" 2>&1 || {
    cat "$root.log"; rm -f "$root.log"; exit 1; }
rm -f "$root.log"
usr=$root/usr

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for program in orvane-ftp orvane-ftp-cli; do
    [ -x "$usr/bin/$program" ] || fail "bin/$program missing or not executable"
    # Nothing installed may point back into the build tree.
    if readelf -d "$usr/bin/$program" 2>/dev/null | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
        fail "bin/$program keeps a run path into $build"
    fi
done

desktop=$usr/share/applications/$id.desktop
if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $id.desktop"
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    [ -x "$usr/bin/$exec_name" ] || fail "desktop entry runs '$exec_name', which is not installed"
    icon_name=$(sed -n 's/^Icon=//p' "$desktop")
    [ "$icon_name" = "$id" ] || fail "desktop entry icon '$icon_name' is not $id"
else
    fail "share/applications/$id.desktop missing"
fi

icons=$usr/share/icons/hicolor
[ -f "$icons/scalable/apps/$id.svg" ] || fail "scalable icon missing"
for size in 16 24 32 48 64 128 256; do
    png=$icons/${size}x${size}/apps/$id.png
    if [ ! -f "$png" ]; then
        fail "${size}x${size} icon missing"
        continue
    fi
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
    [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "${size}x${size} icon is ${w}x${h}"
done

metainfo=$usr/share/metainfo/$id.metainfo.xml
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net --strict "$metainfo" >"$root/as.log" 2>&1 || {
        cat "$root/as.log"; fail "appstreamcli rejects $id.metainfo.xml"; }
    grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "metainfo does not launch $id.desktop"
    grep -qF "<release version=\"$version\"" "$metainfo" || fail "metainfo release is not $version"
    grep -q '<screenshot type="default">' "$metainfo" || fail "metainfo has no screenshot"
else
    fail "share/metainfo/$id.metainfo.xml missing"
fi

cli=$usr/bin/orvane-ftp-cli
said=$("$cli" --version 2>&1) || fail "orvane-ftp-cli --version exits with $?"
[ "$said" = "orvane-ftp-cli $version" ] || fail "orvane-ftp-cli --version says '$said'"

man=$usr/share/man/man1/orvane-ftp-cli.1
if [ -f "$man" ]; then
    warnings=$(man --warnings -l "$man" 2>&1 >/dev/null) || fail "man cannot show the page"
    [ -z "$warnings" ] || fail "man page warnings: $warnings"
    page=$(MANWIDTH=200 man -l "$man" 2>/dev/null | col -b)
    # Every command and option that --help lists has its place in the page.
    help=$("$cli" --help)
    names=$({ sed -n 's/^  \([a-z][a-z]*\) .*/\1/p' <<<"$help"
        sed -n 's/^  \(-.*\)/\1/p' <<<"$help" | cut -c1-24 | grep -oE -- '-{1,2}[a-z][-a-z]*'; })
    [ "$(wc -l <<<"$names")" -ge 16 ] || fail "could not read the commands from --help"
    for name in $names; do
        grep -qE -- "^ {7}([^ ]+, )?$name( |,|$)" <<<"$page" || fail "man page has no entry for $name"
    done
else
    fail "share/man/man1/orvane-ftp-cli.1 missing"
fi

[ "$failures" -eq 0 ] || { echo "$failures problem(s) in the installed tree"; exit 1; }
echo "installed tree below $root/usr is complete"
