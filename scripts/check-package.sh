#!/usr/bin/env bash
# Checks what a user gets from `cmake --install` and from the Debian package:
# the files and control fields of the package, a manual page that renders
# without warnings, and, once installed, a qping that an ordinary user can
# run thanks to cap_net_raw. Installs and purges the package on this machine,
# so it refuses to run where qping is already installed.
#
# Usage (as root, after the build): scripts/check-package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
binary=/usr/bin/qping
unprivileged=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
work=""
package=""
installed_by_us=0

fail() {
    echo "check-package: FAIL: $*" >&2
    exit 1
}

pass() {
    echo "check-package: ok: $*"
}

cleanup() {
    if [ "$installed_by_us" = 1 ]; then
        dpkg --purge qping >/dev/null || echo "check-package: could not purge qping" >&2
    fi
    [ -z "$work" ] || rm -rf "$work"
}

# Fails when groff or man says anything about the page on its way to text.
check_renders_cleanly() {
    local page=$1 warnings
    warnings=$(groff -man -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "groff warns about $page: $warnings"
    if command -v man >/dev/null; then
        warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "man warns about $page: $warnings"
    fi
}

check_install_rules() {
    local prefix=$work/prefix stage=$work/stage log
    cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1 ||
        fail "cmake --install failed: $(cat "$work/install.log")"
    for file in bin/qping share/man/man1/qping.1.gz share/doc/qping/{copyright,changelog.gz}; do
        [ -f "$prefix/$file" ] || fail "cmake --install left out $file"
    done
    [[ $(getcap "$prefix/bin/qping") == *cap_net_raw=ep ]] ||
        fail "a root install did not set cap_net_raw: $(cat "$work/install.log")"

    log=$(DESTDIR=$stage cmake --install "$build_dir" --prefix /usr 2>&1) ||
        fail "cmake --install with DESTDIR failed: $log"
    [ -z "$(getcap "$stage/usr/bin/qping")" ] || fail "a DESTDIR install set the capability"
    grep -q 'staged install under DESTDIR, so cap_net_raw was not set' <<<"$log" ||
        fail "a DESTDIR install did not say that cap_net_raw was not set: $log"

    # A setcap that fails, as it does on a file system without extended
    # attributes: the install must go on and say what to do.
    mkdir "$work/failing-setcap"
    printf '#!/bin/sh\necho "setcap: Operation not supported" >&2\nexit 1\n' \
        >"$work/failing-setcap/setcap"
    chmod 755 "$work/failing-setcap/setcap"
    log=$(PATH=$work/failing-setcap:$PATH cmake --install "$build_dir" --prefix "$work/plain" 2>&1) ||
        fail "cmake --install fails when setcap fails: $log"
    [ -z "$(getcap "$work/plain/bin/qping")" ] || fail "the capability is set after all"
    if ! grep -q 'setcap failed' <<<"$log" ||
        ! grep -qx " *setcap cap_net_raw+ep $work/plain/bin/qping" <<<"$log"; then
        fail "a failing setcap is not reported with the command to run: $log"
    fi
    pass "cmake --install: files in place; capability set by root, not in DESTDIR," \
        "reported when setcap fails"
}

check_postinst_without_setcap() {
    local message
    message=$(env PATH=/nonexistent /bin/sh packaging/debian/postinst configure 2>&1) ||
        fail "postinst fails when setcap is missing"
    grep -q "setcap cap_net_raw+ep $binary" <<<"$message" ||
        fail "postinst without setcap does not say how to set the capability: $message"
    pass "postinst tolerates a missing setcap and says how to set the capability"
}

build_package() {
    cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1 ||
        fail "cpack failed: $(cat "$work/cpack.log")"
    local packages=("$work"/package/*.deb)
    if [ "${#packages[@]}" != 1 ] || [ ! -f "${packages[0]}" ]; then
        fail "cpack made no single .deb: $(cat "$work/cpack.log")"
    fi
    package=${packages[0]}
}

check_contents() {
    local files expected sections
    files=$(dpkg-deb -c "$package" | awk '$1 !~ /^d/ {print $1, $2, $6}' | sort)
    expected=$(sort <<'EOF'
-rwxr-xr-x root/root ./usr/bin/qping
-rw-r--r-- root/root ./usr/share/man/man1/qping.1.gz
-rw-r--r-- root/root ./usr/share/doc/qping/copyright
-rw-r--r-- root/root ./usr/share/doc/qping/changelog.gz
EOF
)
    [ "$files" = "$expected" ] || fail "package files differ; expected: $expected; got: $files"

    dpkg-deb -x "$package" "$work/contents"
    sections=$(readelf -S "$work/contents/usr/bin/qping")
    ! grep -q '\.debug_' <<<"$sections" || fail "the packaged binary is not stripped"
    zcat "$work/contents/usr/share/man/man1/qping.1.gz" >"$work/qping.1"
    check_renders_cleanly "$work/qping.1"
    pass "package contents: binary (stripped), compressed manual page, copyright, changelog"
}

check_control() {
    local field
    [ "$(dpkg-deb -f "$package" Package)" = qping ] || fail "Package is not qping"
    [ "$(dpkg-deb -f "$package" Architecture)" = "$(dpkg --print-architecture)" ] ||
        fail "Architecture is not this machine's"
    [ "$(dpkg-deb -f "$package" Section)" = net ] || fail "Section is not net"
    for field in Maintainer Description; do
        [ -n "$(dpkg-deb -f "$package" "$field")" ] || fail "control field $field is empty"
    done
    # The version is written in three places; they must agree.
    local version changelog_version
    version=$(dpkg-deb -f "$package" Version)
    changelog_version=$(dpkg-deb --fsys-tarfile "$package" |
        tar -xOf - ./usr/share/doc/qping/changelog.gz | zcat | dpkg-parsechangelog -l - -S Version)
    [ "$changelog_version" = "$version" ] ||
        fail "the changelog is at $changelog_version, the package at $version"
    grep -q "^\.TH QPING 1 .*\"qping $version\"" man/qping.1 ||
        fail "the manual page does not name version $version in its .TH line"
    local depends
    depends=$(dpkg-deb -f "$package" Depends)
    for dependency in libcap2-bin libc6; do
        grep -qw -- "$dependency" <<<"$depends" || fail "Depends lacks $dependency: $depends"
    done
    local control_files
    control_files=$(dpkg-deb --ctrl-tarfile "$package" | tar -tv)
    grep -q '^-rwxr-xr-x .* \./postinst$' <<<"$control_files" ||
        fail "the package has no executable postinst: $control_files"
    pass "control fields: Package, Architecture, Section, Version $version as in the changelog" \
        "and the manual page, Depends ($depends), postinst"
}

check_installed_package() {
    dpkg -i "$package" >"$work/dpkg.log" 2>&1 || fail "dpkg -i failed: $(cat "$work/dpkg.log")"
    installed_by_us=1
    [[ $(getcap "$binary") == *cap_net_raw=ep ]] ||
        fail "postinst did not set cap_net_raw: $(getcap "$binary"; cat "$work/dpkg.log")"
    if command -v man >/dev/null; then
        [ "$(man -w qping)" = /usr/share/man/man1/qping.1.gz ] ||
            fail "man does not find the installed page"
    fi

    local output status=0
    output=$(timeout 20 "${unprivileged[@]}" "$binary" -c 1 127.0.0.1) || status=$?
    [ "$status" = 0 ] || fail "an ordinary user's run ended with status $status: $output"
    grep -qE '^127\.0\.0\.1: bytes=32 time(<1|=[0-9]+)ms TTL=128$' <<<"$output" ||
        fail "an ordinary user's run printed no reply line: $output"
    grep -qx 'Sent = 1, Rec = 1, Lost = 0' <<<"$output" ||
        fail "an ordinary user's run did not count the reply: $output"
    pass "installed: cap_net_raw set, an ordinary user gets the reply, status 0"

    # The same user with a copy that lacks the capability must be refused,
    # or the run above proved nothing about the capability.
    install -m 755 "$binary" "$work/qping-without-capability"
    chmod 755 "$work"
    status=0
    output=$(timeout 20 "${unprivileged[@]}" "$work/qping-without-capability" -c 1 127.0.0.1) || status=$?
    if [ "$status" != 255 ] || ! grep -qx 'socket failed: 10013' <<<"$output"; then
        fail "without cap_net_raw an ordinary user's run was not refused ($status): $output"
    fi
    pass "without the capability the same user gets 'socket failed: 10013', status 255"
}

main() {
    [ "$(id -u)" = 0 ] || fail "run as root: the check installs a package"
    [ -f "$build_dir/CPackConfig.cmake" ] || fail "no configured build in $build_dir"
    if [ -e "$binary" ] || [[ $(dpkg-query -W -f='${Status}' qping 2>/dev/null) == *installed ]]; then
        fail "qping is already installed here; purge it before running this check"
    fi
    trap cleanup EXIT
    work=$(mktemp -d)

    check_renders_cleanly man/qping.1
    pass "man/qping.1 renders without warnings"
    check_install_rules
    check_postinst_without_setcap
    build_package
    check_contents
    check_control
    check_installed_package
}

main
