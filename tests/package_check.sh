#!/usr/bin/env bash
# The release as a user gets it: builds the Debian package from the build
# folder $1, unpacks it into a private root (nothing is installed on this
# machine) and, from a folder that has nothing of the show's, runs the
# unpacked programs, so that the relocated data folder is what they find.
# Then lintian, desktop-file-validate, appstreamcli and man check the files,
# and the copyright file must name the licence.
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
check() { # NAME COMMAND...: runs the command, reports it
    if "${@:2}" > "$work/out" 2>&1; then
        echo "ok: $1"
    else
        echo "FAILED: $1"; sed 's/^/    /' "$work/out"; failed=1
    fi
}

(cd "$build" && cpack -G DEB -B "$work/package") > "$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/package/tidewane_*.deb)
dpkg-deb -x "$deb" "$work/root"
bin=$work/root/usr/bin
mkdir "$work/elsewhere"
cd "$work/elsewhere"

check "the package's dependencies are computed from the programs" \
    bash -c "dpkg-deb --field '$deb' Depends | grep -q 'libsoil1' && dpkg-deb --field '$deb' Depends | grep -q 'libegl1'"
version=$(dpkg-deb --field "$deb" Version)
for program in tidewane tidewane-capture velkpack; do
    check "the unpacked $program --version names $version, then the MIT licence" bash -c \
        "'$bin/$program' --version > '$work/version' && [ \"\$(sed -n 1p '$work/version')\" = '$program $version' ] &&
         sed -n 2p '$work/version' | grep -q 'MIT licence'"
done
check "the installed copyright file names MIT" \
    grep -qx 'License: MIT' "$work/root/usr/share/doc/tidewane/copyright"
check "the unpacked tidewane-capture renders a frame from its own data folder" \
    bash -c "DISPLAY= '$bin/tidewane-capture' --size 16x10 --fps 4 --from 66 --to 66.25 --out frames/ &&
             test -s frames/frame-000264.png"
check "lintian finds no error" lintian --fail-on error "$deb"
check "desktop-file-validate" desktop-file-validate "$work/root/usr/share/applications/tidewane.desktop"
check "appstreamcli validate" appstreamcli validate --no-net \
    "$work/root/usr/share/metainfo/org.velk.tidewane.metainfo.xml"
for page in "$work"/root/usr/share/man/man*/*.gz; do
    check "man renders $(basename "$page") without warnings" bash -c \
        "LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l '$page' 2>&1 >/dev/null | (! grep .)"
done
for icon in 256 48; do
    check "the ${icon}x${icon} icon" bash -c \
        "file '$work/root/usr/share/icons/hicolor/${icon}x${icon}/apps/tidewane.png' | grep -q '$icon x $icon'"
done
exit $failed
