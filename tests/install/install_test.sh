#!/usr/bin/env bash
# What `cmake --install` and `make install` put in place: the programs, the
# menu entry, the metainfo and the icons, under names that agree with each
# other, valid for the desktop's tools, and programs that run from there.
# usage: install_test.sh SOURCE_DIR BUILD_DIR VERSION
set -u
SRC=$1
BUILD=$2
VERSION=$3
ID=io.github.orlix.Orlix
pass=0
fail=0
# COND; verdict DESCRIPTION : counts the status of the condition just run.
verdict() {
    if [ $? -eq 0 ]; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL: $1"; fi
}

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
P=$TMP/prefix

# The files, all of them and nothing else.
if ! cmake --install "$BUILD" --prefix "$P" >"$TMP/install.log" 2>&1; then
    cat "$TMP/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi
expected="bin/orlix
bin/orlix-cli
share/applications/$ID.desktop
share/icons/hicolor/128x128/apps/$ID.png
share/icons/hicolor/64x64/apps/$ID.png
share/icons/hicolor/scalable/apps/$ID.svg
share/metainfo/$ID.metainfo.xml"
got=$(cd "$P" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$got" = "$expected" ]; verdict "installed files:
$got"
[[ -x $P/bin/orlix && -x $P/bin/orlix-cli ]]; verdict "programs are executable"

# The validators of the desktop and of the software centres, hints included.
desktop=$P/share/applications/$ID.desktop
meta=$P/share/metainfo/$ID.metainfo.xml
out=$(desktop-file-validate "$desktop" 2>&1)
[ -z "$out" ]; verdict "desktop-file-validate: $out"
out=$(appstreamcli validate --no-net "$meta" 2>&1); verdict "appstreamcli validate: $out"

# The names that tie the pieces together.
grep -qx "Icon=$ID" "$desktop"; verdict "the desktop entry's Icon= names the installed icon"
exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[[ -n $exec && -x $P/bin/$exec ]]; verdict "the desktop entry's Exec=$exec is an installed program"
grep -q "<id>$ID</id>" "$meta"; verdict "metainfo id"
grep -q "<launchable type=\"desktop-id\">$ID.desktop</launchable>" "$meta"; verdict "metainfo launchable"
grep -q "<icon type=\"stock\">$ID</icon>" "$meta"; verdict "metainfo icon"
newest=$(grep -o '<release version="[^"]*"' "$meta" | head -n 1 | cut -d'"' -f2)
[ "$newest" = "$VERSION" ]; verdict "the newest release in the metainfo ($newest) is the version built ($VERSION)"

# Each PNG is as large as its folder says (width and height from the header).
png_size() {
    od -An -tu1 -j16 -N8 "$1" |
        awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}
for size in 64 128; do
    got=$(png_size "$P/share/icons/hicolor/${size}x$size/apps/$ID.png")
    [ "$got" = "${size}x$size" ]; verdict "the ${size}px icon is $got"
done

# Nothing leads back into the build: no RPATH or RUNPATH.
if command -v readelf >/dev/null; then
    for program in orlix orlix-cli; do
        paths=$(readelf -d "$P/bin/$program" | grep -E 'RPATH|RUNPATH')
        [ -z "$paths" ]; verdict "$program's library path: $paths"
    done
fi

# The installed programs run from elsewhere.
got=$(cd / && "$P/bin/orlix-cli" eval 1+1 2>"$TMP/cli.log")
[ "$got" = "2" ]; verdict "the installed orlix-cli: eval 1+1 gives '$got' $(cat "$TMP/cli.log")"
(cd / && QT_QPA_PLATFORM=offscreen "$P/bin/orlix" --store "$TMP/store" --screenshot "$TMP/shot.png" >"$TMP/app.log" 2>&1)
[ -s "$TMP/shot.png" ]; verdict "the installed orlix draws its screen: $(cat "$TMP/app.log")"

# make install: PREFIX and DESTDIR, and places it must refuse. Whatever the
# make that runs the tests was told stays out of it.
M=(env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL make --no-print-directory -C "$SRC" install-files BUILD="$BUILD")
"${M[@]}" PREFIX=/opt/orlix DESTDIR="$TMP/stage" >"$TMP/make.log" 2>&1
[[ -x $TMP/stage/opt/orlix/bin/orlix && -f $TMP/stage/opt/orlix/share/applications/$ID.desktop ]]
verdict "make install with PREFIX and DESTDIR: $(cat "$TMP/make.log")"
touch "$TMP/a-file"
out=$("${M[@]}" PREFIX=/usr DESTDIR="$TMP/a-file" 2>&1)
code=$?
[[ $code -ne 0 && $out == *"cannot install into $TMP/a-file/usr"* && $out != *"is installed"* ]]
verdict "make install into a file must fail and say so (code $code): $out"
out=$("${M[@]}" PREFIX=usr DESTDIR="$TMP/stage2" 2>&1)
code=$?
[[ $code -ne 0 && $out == *"PREFIX must be an absolute path"* && ! -e $TMP/stage2 ]]
verdict "make install with a relative PREFIX must fail (code $code): $out"

echo "install: $pass passed, $fail failed"
[ $fail -eq 0 ]
