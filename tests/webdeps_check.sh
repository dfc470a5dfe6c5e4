#!/usr/bin/env bash
# scripts/web-deps takes, for each pinned upstream version, the Debian
# revision the archive serves, and refuses an upstream it does not serve.
# The offered versions are fed in; the archive is not asked.
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
failed=0

# takes PIN EXPECTED OFFERED...
takes() {
    local got
    if ! got=$("$root/scripts/web-deps" --choose-version "$1" "${@:3}" 2>&1) || [ "$got" != "$2" ]; then
        echo "FAIL: pin $1 of [${*:3}] gave '$got', expected $2"; failed=1
    fi
}
# refuses PIN OFFERED...
refuses() {
    local got
    if got=$("$root/scripts/web-deps" --choose-version "$1" "${@:2}" 2>&1 >/dev/null); then
        echo "FAIL: pin $1 of [${*:2}] was accepted"; failed=1
    elif [[ "$got" != *"offers ${*:2}"*"update the pin"* ]]; then
        echo "FAIL: pin $1 of [${*:2}] refused without naming what is offered: $got"; failed=1
    fi
}

takes 1.6.39 1.6.39-2+deb12u5 1.6.39-2+deb12u5
takes 1.6.39 1.6.39-2+deb12u6 1.6.39-2+deb12u6 1.6.39-2+deb12u5
takes 1.6.39 1.6.39-2+deb12u10 1.6.39-2+deb12u9 1.6.39-2+deb12u10 1.6.40-1
takes 1:1.2.13.dfsg 1:1.2.13.dfsg-1 1:1.2.13.dfsg-1
takes 131.1.0 131.1.0-4.1~deb12u1 131.1.0-4.1~deb12u1 131.1.0-4
refuses 1.6.40 1.6.39-2+deb12u5
refuses 1.6.3 1.6.39-2
refuses 1.2.13.dfsg 1:1.2.13.dfsg-1
refuses 1.6.39-2+deb12u5 1.6.39-2+deb12u6
exit $failed
