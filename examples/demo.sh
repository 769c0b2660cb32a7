#!/usr/bin/env bash
# Installs what building the Python module needs (on Debian and Ubuntu: a C++
# compiler, CMake, Ninja, python3-venv and python3-dev), builds both modules
# into the virtual environment .venv (never into the system Python, PEP 668)
# and runs the demo.  Prints each step, and the compiler's progress while the
# modules build (a few minutes on two cores).
set -euo pipefail
cd "$(dirname "$0")/.."

step() { printf '\n== %s\n' "$*"; }

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if command -v apt-get >/dev/null 2>&1; then
    step "apt-get: g++ cmake ninja-build python3 python3-venv python3-dev"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
        g++ cmake ninja-build python3 python3-venv python3-dev >/dev/null
fi

step "virtual environment .venv"
python3 -m venv .venv

# pip's own output in full goes to the log; the terminal shows what pip fetches
# and the build's "[k/n]" steps.  On failure the end of the log is shown.
log=build/demo-pip.log
mkdir -p build
step "building and installing ostrell into .venv (log: $log)"
if ! .venv/bin/pip install -v . 2>&1 | tee "$log" \
        | awk '/^(Collecting|Installing collected|Successfully installed)|\[[0-9]+\/[0-9]+\]/ {
                   sub(/^ +/, ""); print "  " substr($0, 1, 110); fflush() }'; then
    tail -n 40 "$log"
    echo "demo.sh: building the module failed; the whole output is in $log" >&2
    exit 1
fi

step "examples/demo.py"
.venv/bin/python examples/demo.py
