#!/usr/bin/env bash
# Installs what building the Python module needs (a C++ compiler; on Debian and
# Ubuntu also python3-venv and python3-dev), builds the module into the virtual
# environment .venv (never into the system Python, PEP 668) and runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if command -v apt-get >/dev/null 2>&1; then
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
        g++ python3 python3-venv python3-dev >/dev/null
fi
python3 -m venv .venv
.venv/bin/pip install --quiet .
.venv/bin/python examples/demo.py
