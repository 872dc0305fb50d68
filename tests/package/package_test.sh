#!/usr/bin/env bash
# The Debian package as the README makes it: a Release build of its own, `cpack -G DEB`,
# then Debian's checker, which must report neither an error nor a warning, and a look at
# what the package holds and whether apt would install it.
#   package_test.sh SOURCE_DIR BUILD_DIR
# BUILD_DIR is kept between runs, so a second run builds only what changed.
# Exit status 77: lintian is not installed (the test is skipped).
set -euo pipefail
source_dir=$1
build_dir=$2
if ! command -v lintian >/dev/null; then
    echo "skipped: lintian is not installed"
    exit 77
fi

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVORKAN_BUILD_TESTS=OFF -DVORKAN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)" | tail -n 1
rm -f "$build_dir"/vorkan_*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)
debs=("$build_dir"/vorkan_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "FAIL: cpack made no single package: ${debs[*]}"
    exit 1
fi
deb=${debs[0]}
echo "package: $deb"

failures=0
fail()
{
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Overrides would hide what is reported: the package carries none.
report=$(lintian --tag-display-limit 0 --display-info "$deb" 2>&1 || true)
[ -n "$report" ] && echo "$report"
if grep -qE '^[EW]: ' <<<"$report"; then
    fail "lintian reports errors or warnings"
fi
if dpkg-deb -c "$deb" | grep -q 'usr/share/lintian/overrides'; then
    fail "the package overrides lintian's tags"
fi

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|')
for path in /usr/bin/vorkan /usr/bin/vorkan-cli \
    /usr/share/doc/vorkan/copyright /usr/share/doc/vorkan/changelog.gz \
    /usr/share/man/man1/vorkan.1.gz /usr/share/man/man1/vorkan-cli.1.gz \
    /usr/share/bash-completion/completions/vorkan-cli \
    /usr/share/applications/example.pelun.Vorkan.desktop \
    /usr/share/metainfo/example.pelun.Vorkan.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/vorkan.svg /usr/share/vorkan/pelun.psk; do
    grep -qxF "$path" <<<"$contents" || fail "the package lacks $path"
done

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
version=$("$unpacked/usr/bin/vorkan-cli" --version)
[ "$version" = "Vorkan v1.20" ] || fail "the packaged vorkan-cli says '$version'"
grep -qx 'Path=/usr/share/vorkan' "$unpacked/usr/share/applications/example.pelun.Vorkan.desktop" ||
    fail "the menu entry does not start the program beside the sample archive"
zcat "$unpacked/usr/share/doc/vorkan/changelog.gz" | head -n 1 | grep -q '^vorkan (1\.20) ' ||
    fail "the changelog does not begin with this version"

# What apt would do with it on this machine, without doing it.
if ! plan=$(apt-get install --simulate --no-install-recommends "$deb" 2>&1); then
    echo "$plan"
    fail "apt-get would not install the package"
elif ! grep -q '^Inst vorkan ' <<<"$plan"; then
    echo "$plan"
    fail "apt-get would not install vorkan"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "the package is clean"
