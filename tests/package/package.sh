#!/usr/bin/env bash
# Makes the Debian package of a build and checks it: lintian reports no error,
# the desktop entry and the AppStream metainfo validate, the package holds
# what an installed ZIL needs, and ZIL started from the package's own files,
# unpacked into a root of their own, reaches its idle main window on the
# packaged demo database without writing a byte into the package's files.
# The demo directory is made read-only, and as root, which permission bits do
# not bind, ZIL runs as the unprivileged user "nobody". The settings it reads
# are the package's /etc/zil/zil.INI, pointed at the unpacked root and put in
# the user's configuration directory that XDG_CONFIG_HOME names.
#
#   package.sh CPACK BUILD_DIR OUT_DIR
#
# The package stays in OUT_DIR, with the output of cpack, lintian and ZIL.
set -euo pipefail

if [ $# -ne 3 ]; then
    echo "usage: $0 CPACK BUILD_DIR OUT_DIR" >&2
    exit 2
fi
cpack=$1
build=$2
out=$3

fail() {
    echo "package: $*" >&2
    exit 1
}

case "$out" in
"" | / | "$build")
    fail "refusing to use '$out' as the output directory"
    ;;
esac
rm -rf -- "$out"
mkdir -p -- "$out"
out=$(cd "$out" && pwd)

# The unpacked root lies where "nobody" can reach it, and goes at the end.
tmp=$(mktemp -d)
zil_pid=
cleanup() {
    if [ -n "$zil_pid" ]; then
        kill "$zil_pid" 2>/dev/null || true
        wait "$zil_pid" 2>/dev/null || true
    fi
    chmod -R u+w "$tmp" 2>/dev/null || true
    rm -rf -- "$tmp"
}
trap cleanup EXIT
chmod 755 "$tmp"

# --- the package -------------------------------------------------------------
"$cpack" -G DEB -B "$out" --config "$build/CPackConfig.cmake" >"$out/cpack.log" 2>&1 || {
    cat "$out/cpack.log" >&2
    fail "cpack failed"
}
rm -rf -- "$out/_CPack_Packages"
debs=("$out"/zil_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single zil_*.deb"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
arch=$(dpkg-deb -f "$deb" Architecture)
[ "$(basename "$deb")" = "zil_${version}_${arch}.deb" ] ||
    fail "$(basename "$deb") is not named zil_${version}_${arch}.deb"
echo "package: $(basename "$deb")"

# The libraries linked, as dpkg-shlibdeps found them, and the fonts.
depends=$(dpkg-deb -f "$deb" Depends)
for d in libc6 libqt6widgets6 libqt6printsupport6 libsqlcipher0 libinih1 libcsv3 \
    fonts-liberation; do
    grep -Eq "(^|, )$d(t64)?( |,|$)" <<<"$depends" || fail "Depends lacks $d: $depends"
done

lintian --fail-on error "$deb" >"$out/lintian.log" 2>&1 || {
    cat "$out/lintian.log" >&2
    fail "lintian reports errors"
}
sed 's/^/package: lintian: /' "$out/lintian.log"

# --- what it holds -------------------------------------------------------------
root=$tmp/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/zil usr/bin/zil-makedb \
    usr/share/doc/zil/zil.html usr/share/doc/zil/copyright usr/share/doc/zil/changelog.gz \
    usr/share/man/man1/zil.1.gz usr/share/man/man1/zil-makedb.1.gz \
    usr/share/icons/hicolor/scalable/apps/zil.svg etc/zil/zil.INI \
    usr/share/zil/demo/MATERIAL.DB usr/share/zil/demo/SYNON.DB \
    usr/share/zil/demo/SUPPLIER.DB usr/share/zil/demo/MATSUPP.DB \
    usr/share/zil/demo/material.xg1; do
    [ -f "$root/$f" ] || fail "the package lacks /$f"
done
[ ! -e "$root/usr/bin/zil.INI" ] || fail "the package puts a settings file beside the program"
for b in zil zil-makedb; do
    file -b "$root/usr/bin/$b" | grep -q ', stripped' || fail "/usr/bin/$b is not stripped"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - ./conffiles | grep -qx /etc/zil/zil.INI ||
    fail "/etc/zil/zil.INI is no conffile"
zcat "$root/usr/share/doc/zil/changelog.gz" | head -n 1 | grep -q "^zil ($version) " ||
    fail "the changelog's latest entry is not of version $version"

desktop=("$root"/usr/share/applications/*.desktop)
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
[ ${#desktop[@]} -eq 1 ] && [ -f "${desktop[0]}" ] || fail "no single desktop entry"
[ ${#metainfo[@]} -eq 1 ] && [ -f "${metainfo[0]}" ] || fail "no single metainfo file"
desktop-file-validate "${desktop[0]}" || fail "desktop-file-validate fails"
appstreamcli validate --no-net "${metainfo[0]}" || fail "appstreamcli validate fails"
grep -q "<launchable type=\"desktop-id\">$(basename "${desktop[0]}")</launchable>" \
    "${metainfo[0]}" || fail "the metainfo does not launch $(basename "${desktop[0]}")"

# --- ZIL from the package's files --------------------------------------------------
config=$tmp/config
home=$tmp/home
mkdir -p "$config/zil" "$home/run"
chmod 700 "$home/run"
sed "s|=/usr/|=$root/usr/|" "$root/etc/zil/zil.INI" >"$config/zil/zil.INI"
grep -qx "Path=$root/usr/share/zil/demo/" "$config/zil/zil.INI" ||
    fail "/etc/zil/zil.INI does not name the demo database"
chmod -R a-w "$root/usr/share/zil/demo"
run=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$home"
    run=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi

# Every entry of the root and the configuration with its kind, size, mode,
# time and content.
snapshot() {
    (
        cd "$tmp"
        find root config -printf '%p %y %s %m %T@\n' | LC_ALL=C sort
        find root config -type f -exec sha256sum {} + | LC_ALL=C sort
    )
}
before=$(snapshot)

env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$home/run" \
    QT_QPA_PLATFORM=offscreen ZIL_ANNOUNCE_IDLE=1 ZIL_MESSAGE_LOG="$home/messages.log" \
    "${run[@]}" "$root/usr/bin/zil" >"$out/zil.out" 2>"$out/zil.err" &
zil_pid=$!
for _ in $(seq 1 1200); do
    grep -qx idle "$out/zil.out" && break
    kill -0 "$zil_pid" 2>/dev/null || break
    sleep 0.1
done
if ! grep -qx idle "$out/zil.out"; then
    cat "$out/zil.err" >&2
    [ -f "$home/messages.log" ] && cat "$home/messages.log" >&2
    fail "ZIL from the package did not reach its idle main window"
fi
[ ! -e "$home/messages.log" ] || fail "ZIL said: $(cat "$home/messages.log")"
kill "$zil_pid"
wait "$zil_pid" 2>/dev/null || true
zil_pid=

after=$(snapshot)
if [ "$before" != "$after" ]; then
    diff <(echo "$before") <(echo "$after") >&2 || true
    fail "ZIL wrote into the package's files or the settings"
fi
echo "package: ZIL from the package opened the demo database and wrote nothing"
