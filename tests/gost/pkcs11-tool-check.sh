#!/usr/bin/env bash
# OpenSC's pkcs11-tool, an independent PKCS#11 client, drives the software token's module:
# slots, mechanisms and objects, login, digests of each GOST hash (compared with OpenSSL),
# signatures of each key kind verified by pkcs11-tool itself and by OpenSSL.
# Arguments: the qrd-token program, the module library.
set -uo pipefail
token_tool=$1
module=$2
pin=12345678

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QRD_EMULATOR_STATE=$work/state.json
unset QRD_EMULATOR_FAULTS

# pkcs11-tool is not built with AddressSanitizer; a sanitized module needs the runtime loaded
# first, and the C++ runtime with it, or the sanitizer finds no __cxa_throw to intercept in
# this C program when the module throws. Leak checking stays off: the leaks would be
# pkcs11-tool's own. The runtime's check of the library order is off too: with the runtime
# preloaded it sometimes misreads the order and stops the program at start.
preload=
if ldd "$module" | grep -q libasan; then
    preload="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libstdc++.so)"
fi
p11() {
    LD_PRELOAD=$preload ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0 pkcs11-tool --module "$module" "$@"
}

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
contains() { # text, expected piece, what
    grep -qF -- "$2" <<<"$1" || fail "$3: no \"$2\" in:"$'\n'"$1"
}

"$token_tool" init --label "OpenSC check" --serial 0C0FFEE0 >/dev/null || fail "qrd-token init"
"$token_tool" genkey --kind 2001 --id 01 >/dev/null || fail "genkey 2001"
"$token_tool" genkey --kind 2012-256 --id 02 >/dev/null || fail "genkey 2012-256"
"$token_tool" genkey --kind 2012-512 --id 03 >/dev/null || fail "genkey 2012-512 A"
"$token_tool" genkey --kind 2012-512 --paramset B --id 04 >/dev/null || fail "genkey 2012-512 B"

slots=$(p11 --list-slots 2>&1) || fail "--list-slots"
contains "$slots" "OpenSC check" "slot list"
contains "$slots" "0C0FFEE0" "slot list"
mechanisms=$(p11 --list-mechanisms 2>&1) || fail "--list-mechanisms"
for name in GOSTR3411 GOSTR3410 GOST28147; do
    contains "$mechanisms" "$name" "mechanism list"
done
public_objects=$(p11 --list-objects 2>&1) || fail "--list-objects"
contains "$public_objects" "Public Key Object" "objects without login"
grep -q "Private Key Object" <<<"$public_objects" && fail "private keys listed without login"
objects=$(p11 --list-objects --login --pin $pin 2>&1) || fail "--list-objects --login"
contains "$objects" "Private Key Object; GOSTR3410-2012-512" "objects after login"
wrong=$(p11 --list-objects --login --pin 00000000 2>&1) && fail "a wrong PIN logged in"
contains "$wrong" "CKR_PIN_INCORRECT" "login with a wrong PIN"

head -c 70001 /dev/urandom >"$work/data"
digest() { # pkcs11-tool mechanism, openssl digest option, output
    p11 --hash -m "$1" -i "$work/data" -o "$3" >/dev/null 2>&1 || fail "--hash -m $1"
    openssl dgst -engine gost "$2" -binary "$work/data" 2>/dev/null |
        cmp -s - "$3" || fail "--hash -m $1 differs from openssl $2"
}
digest GOSTR3411 -md_gost94 "$work/d94"
digest GOSTR3411-12-256 -md_gost12_256 "$work/d256"
digest 0xD4321013 -md_gost12_512 "$work/d512"

sign_and_verify() { # id, mechanism, digest file, handle of the public key
    local signature=$work/signature-$1 pem=$work/public-$1.pem
    p11 --login --pin $pin --sign -m "$2" --id "$1" -i "$3" -o "$signature" >/dev/null 2>&1 ||
        fail "--sign -m $2 --id $1"
    # pkcs11-tool --verify exits with 0 either way; its verdict is in the text.
    verdict=$(p11 --verify -m "$2" --id "$1" -i "$3" --signature-file "$signature" 2>&1)
    contains "$verdict" "Signature is valid" "--verify -m $2 --id $1"
    "$token_tool" export-public --handle "$4" --out "$pem" || fail "export-public $4"
    openssl pkeyutl -engine gost -verify -pubin -inkey "$pem" -in "$3" \
        -sigfile "$signature" >/dev/null 2>&1 || fail "openssl rejects the signature of key $1"
    # A changed digest does not verify: byte 3 with all its bits flipped always differs.
    cp "$3" "$work/changed"
    byte=$(od -An -tu1 -j3 -N1 "$3")
    # shellcheck disable=SC2059 # the format is the changed byte
    printf "\\$(printf %03o $((byte ^ 0xFF)))" |
        dd of="$work/changed" bs=1 seek=3 conv=notrunc 2>/dev/null
    cmp -s "$3" "$work/changed" && fail "the changed digest equals the original"
    verdict=$(p11 --verify -m "$2" --id "$1" -i "$work/changed" --signature-file "$signature" 2>&1)
    contains "$verdict" "Invalid signature" "--verify -m $2 --id $1 of a changed digest"
}
sign_and_verify 01 GOSTR3410 "$work/d94" 2
sign_and_verify 02 GOSTR3410 "$work/d256" 4
sign_and_verify 03 GOSTR3410_512 "$work/d512" 6
sign_and_verify 04 GOSTR3410_512 "$work/d512" 8

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "pkcs11-tool checks passed"
