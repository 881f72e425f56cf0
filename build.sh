#!/usr/bin/env bash
# Quick start for a Debian 12 machine:
#   ./build.sh run    install what is missing, build, start the window
#   ./build.sh test   install what is missing, build, run every test
# and for CI:
#   ./build.sh sanitize   every test again, built by clang with ASan and UBSan
set -euo pipefail
cd "$(dirname "$0")"

build_dir=${PARLOWEN_BUILD_DIR:-build}
packages=(build-essential cmake pkg-config qt6-base-dev libgumbo-dev libminiupnpc-dev libnatpmp-dev fonts-dejavu-core)
test_packages=(iproute2 util-linux openssl chromium-headless-shell dbus-daemon miniupnpc natpmpc miniupnpd)
sanitize_packages=(clang libclang-rt-dev)

usage() {
    echo "usage: $0 run|test|sanitize" >&2
    exit 2
}

install_missing() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        apt-get update -q
        without_services env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
    else
        echo "These Debian packages are missing. Install them, then run this again:" >&2
        echo "  sudo apt-get install ${missing[*]}" >&2
        exit 1
    fi
}

# Runs an install with no service started: miniupnpd would answer SSDP and
# NAT-PMP on the machine's real network, and the tests run it only inside
# network namespaces of their own (tests/support/in-router-network). A
# policy-rc.d that refuses every start stands in for the machine's own, if
# any, during the install; debconf says no to miniupnpd's own question; and
# under systemd the unit is disabled and stopped all the same.
without_services() {
    local policy=/usr/sbin/policy-rc.d saved=/usr/sbin/policy-rc.d.parlowen-saved status=0
    [ ! -e "$policy" ] || mv "$policy" "$saved"
    printf '#!/bin/sh\nexit 101\n' >"$policy"
    chmod 755 "$policy"
    echo 'miniupnpd miniupnpd/start_daemon boolean false' | debconf-set-selections
    "$@" || status=$?
    rm -f "$policy"
    [ ! -e "$saved" ] || mv "$saved" "$policy"
    if [ -d /run/systemd/system ] && systemctl cat miniupnpd.service >/dev/null 2>&1; then
        systemctl disable --now miniupnpd.service
    fi
    return "$status"
}

# build [TARGET...]: everything, or only the targets named.
build() {
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    local targets=()
    [ $# -eq 0 ] || targets=(--target "$@")
    cmake --build "$build_dir" -j"$(nproc)" "${targets[@]}"
}

case "${1:-}" in
run)
    install_missing "${packages[@]}"
    build parlowen
    exec "$build_dir/bin/parlowen"
    ;;
test)
    install_missing "${packages[@]}" "${test_packages[@]}"
    build
    (cd "$build_dir" && ctest --output-on-failure --timeout 600)
    cat <<'TEXT'

Every test passed. What to try next, from this folder:
  sim/run-demo          the window checks against a simulated router and provider
  sim/run-demo --check  the same check by parlowen-check, in this terminal
  ./build.sh run        the window, for your own router and provider
TEXT
    ;;
sanitize)
    install_missing "${packages[@]}" "${test_packages[@]}" "${sanitize_packages[@]}"
    sanitize_dir=${PARLOWEN_SANITIZE_BUILD_DIR:-build-sanitize}
    CC=clang CXX=clang++ cmake -S . -B "$sanitize_dir" -DCMAKE_BUILD_TYPE=Debug -DPARLOWEN_SANITIZE=ON >/dev/null
    cmake --build "$sanitize_dir" -j"$(nproc)"
    suppressions=$PWD/tests/support/leak-suppressions.txt
    cd "$sanitize_dir"
    # Any report, leaks included, fails the test that caused it; but for
    # the few leaks tests/support/leak-suppressions.txt explains.
    ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$suppressions" \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --output-on-failure --timeout 900
    ;;
*) usage ;;
esac
