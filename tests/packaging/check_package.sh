#!/usr/bin/env bash
# Makes the Debian packages from the build, unpacks them into a scratch root and checks what an
# installation gets: the programs, the simulated GPIB library in its own folder, the desktop
# entry, icon, metadata and man pages, all valid; the Calc plugin in a package of its own where
# the program looks for it; lintian finds no error.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/tavcontrol_*_amd64.deb)
root=$work/root
dpkg -x "$deb" "$root"

for f in usr/bin/tavcontrol usr/bin/tavtest usr/bin/tavsim usr/lib/tavcontrol/simgpib/libgpib.so.0 \
         usr/share/applications/tavcontrol.desktop \
         usr/share/icons/hicolor/256x256/apps/tavcontrol.png \
         usr/share/metainfo/tavcontrol.metainfo.xml \
         usr/share/man/man1/tavcontrol.1.gz usr/share/man/man1/tavtest.1.gz \
         usr/share/man/man1/tavsim.1.gz usr/share/man/man5/tav-tst.5.gz \
         usr/share/doc/tavcontrol/doc/test-tables.md usr/share/doc/tavcontrol/doc/instrument-commands.md \
         usr/share/doc/tavcontrol/doc/images/test-window.png \
         usr/share/doc/tavcontrol/copyright usr/share/doc/tavcontrol/changelog.Debian.gz \
         usr/lib/systemd/user/tavtest-sync.service usr/lib/systemd/user/tavtest-sync.timer \
         usr/lib/systemd/user/tavtest-serve.service; do
    [ -e "$root/$f" ] || fail "$f missing"
done
# The sync timer starts the service of its own name, which runs tavtest sync.
grep -q "^ExecStart=tavtest sync" "$root/usr/lib/systemd/user/tavtest-sync.service" ||
    fail "tavtest-sync.service runs no tavtest sync"
grep -q "^OnUnitActiveSec=5min" "$root/usr/lib/systemd/user/tavtest-sync.timer" ||
    fail "tavtest-sync.timer not every 5 minutes"
grep -q "^ExecStart=tavtest serve" "$root/usr/lib/systemd/user/tavtest-serve.service" ||
    fail "tavtest-serve.service runs no tavtest serve"
# Never the system's GPIB library name in a system folder.
[ -z "$(find "$root" -name 'libgpib.so*' -not -path '*/tavcontrol/simgpib/*')" ] ||
    fail "libgpib outside its private folder"

desktop-file-validate "$root/usr/share/applications/tavcontrol.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/tavcontrol.metainfo.xml" >/dev/null ||
    fail "appstreamcli validate"
for page in tavcontrol tavtest tavsim; do
    zcat "$root/usr/share/man/man1/$page.1.gz" | grep "^\.TH ${page^^} 1" >/dev/null || fail "man page $page"
done
# The file format's page as a user reads it, by section and name from the installed man folder,
# formatted without a warning.
page=$(MANPATH="$root/usr/share/man" MANWIDTH=100 man --warnings 5 tav-tst 2>"$work/man.err") ||
    fail "man 5 tav-tst: $(cat "$work/man.err")"
[ ! -s "$work/man.err" ] || fail "man 5 tav-tst: $(cat "$work/man.err")"
grep -q "TAV-TST(5)" <<<"$page" || fail "man 5 tav-tst: no page header"
grep -q "Test-File:" <<<"$page" || fail "man 5 tav-tst: no format"
# Every example table the guide points to is installed beside it.
source=$(cd "$(dirname "$0")/../.." && pwd)
for example in "$source"/examples/*.tst; do
    [ -f "$root/usr/share/doc/tavcontrol/examples/$(basename "$example")" ] ||
        fail "$(basename "$example") not installed"
done

version=$(dpkg-deb -f "$deb" Version)
[ "$("$root/usr/bin/tavcontrol" --version)" = "tavcontrol $version" ] || fail "tavcontrol --version"
[ "$("$root/usr/bin/tavsim" --version)" = "tavsim $version" ] || fail "tavsim --version"
[ "$("$root/usr/bin/tavtest" --version)" = "tavtest $version" ] || fail "tavtest --version"
# Each grep below reads the whole text (not -q): a program cut off by a closed pipe would fail
# the pipeline (pipefail).
"$root/usr/bin/tavtest" --help | grep "Usage: tavtest" >/dev/null || fail "tavtest --help"
"$root/usr/bin/tavsim" --help | grep -- "--link" >/dev/null || fail "tavsim --help"
"$root/usr/bin/tavcontrol" --help | grep "Usage: tavcontrol" >/dev/null || fail "tavcontrol --help"
"$root/usr/bin/tavcontrol" --help | grep -- "--trace FILE" >/dev/null || fail "tavcontrol --help: --trace"
# A --trace without its file is refused before any window or display is needed.
status=0
"$root/usr/bin/tavcontrol" --trace >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "tavcontrol --trace without a file: exit $status"
dpkg-deb -f "$deb" Depends | grep libqt6charts6 >/dev/null || fail "trend plot library not a dependency"
dpkg-deb -f "$deb" Depends | grep libqt6widgets6 >/dev/null || fail "dependencies not computed"
# The results database: the SQL drivers are plugins, the histograms' SVG a library.
for dep in libqt6sql6-sqlite libqt6sql6-psql libqt6svg6; do
    dpkg-deb -f "$deb" Depends | grep -w -- "$dep" >/dev/null || fail "$dep not a dependency"
done

dpkg-deb -f "$deb" Depends | grep -E "libreoffice|libuno" >/dev/null && fail "the program depends on LibreOffice"
dpkg-deb -f "$deb" Suggests | grep tavcontrol-calc >/dev/null || fail "suggestions"
debs=("$deb")

# The plugin package, when the build made the plugin: ../lib/tavcontrol/ from the program,
# with its entry points, depending on the program of the same version and on Calc.
calc=$(ls "$work"/out/tavcontrol-calc_*_amd64.deb 2>/dev/null || true)
if [ -f "$build/app/libtavcalc.so" ]; then
    [ -n "$calc" ] || fail "no tavcontrol-calc package"
    dpkg -x "$calc" "$root"
    plugin=$root/usr/lib/tavcontrol/libtavcalc.so
    [ -f "$plugin" ] || fail "plugin missing"
    [ -f "$root/usr/share/doc/tavcontrol-calc/copyright" ] || fail "plugin copyright missing"
    for entry in tav_calc_create tav_calc_visible tav_calc_open tav_calc_put_block tav_calc_release; do
        nm -D --defined-only "$plugin" | grep " T $entry\$" >/dev/null || fail "plugin lacks $entry"
    done
    readelf -d "$plugin" | grep "RUNPATH.*/usr/lib/libreoffice/program" >/dev/null || fail "plugin RUNPATH"
    depends=$(dpkg-deb -f "$calc" Depends)
    grep -q "tavcontrol (= $version)" <<<"$depends" || fail "plugin package: $depends"
    grep -q "libreoffice-calc" <<<"$depends" || fail "plugin package: $depends"
    grep -q "libuno-cppu3" <<<"$depends" || fail "plugin package: UNO libraries not computed"
    debs+=("$calc")
fi

# The Python module for Debian's Python, importable from where it is installed, depending on
# the program (its simulator) of the same version.
if [ -d "$build/python/tavcontrol" ]; then
    py=$(ls "$work"/out/python3-tavcontrol_*_amd64.deb 2>/dev/null || true)
    [ -n "$py" ] || fail "no python3-tavcontrol package"
    dpkg -x "$py" "$root"
    site=$root/usr/lib/python3/dist-packages
    for f in __init__.py _core.pyi py.typed; do
        [ -f "$site/tavcontrol/$f" ] || fail "python3-tavcontrol: $f missing"
    done
    PYTHONPATH=$site /usr/bin/python3 -c 'import tavcontrol; assert tavcontrol.Instrument.query.__doc__' ||
        fail "python3-tavcontrol does not import"
    grep -q "tavcontrol (= $version)" <<<"$(dpkg-deb -f "$py" Depends)" ||
        fail "python3-tavcontrol: $(dpkg-deb -f "$py" Depends)"
    debs+=("$py")
fi

for d in "${debs[@]}"; do
    if errors=$(lintian --suppress-tags running-with-root-privileges "$d" 2>&1 | grep '^E:'); then
        fail "lintian $(basename "$d"): $errors"
    fi
done
echo "packages ${debs[*]}: all checks passed"
