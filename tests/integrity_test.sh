#!/usr/bin/env bash
# The installer refuses a damaged copy of itself before anything is written,
# and still accepts itself once Authenticode-signed.
#   integrity_test.sh INSTALLER
source "$(dirname "$0")/harness/e2e.sh"
e2e_begin integrity
original=$1
distorted='The package file has been distorted!\r\nVirus?'

byte_at() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; }
flip_byte() {  # FILE OFFSET
  local value
  value=$(byte_at "$1" "$2")
  printf "\\x$(printf %02x $((value ^ 0x01)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
hex() { echo $((16#$1)); }
section() {  # FILE NAME -> "offset size"
  i686-w64-mingw32-objdump -h "$1" | awk -v s="$2" '$2 == s { print $6, $3 }'
}

nothing_written() {
  [[ $(cat "$APP_DIR/zyq.pak") == "$OLD_PACKAGE" && ! -e $APP_DIR/~zyq.pak && -z $(estimated_size) ]] && echo yes || echo no
}

# expect_refused NAME FILE: the distorted message, exit code 1620, nothing written.
expect_refused() {
  install_app
  new_run_log
  run_installer "$2" "" modest "$LOG_SWITCH"
  check_code "$1" 1620
  check "$1: one box" "$(boxes)" 1
  check_box 1 "Lexova update" "$distorted" error ok
  check "$1: nothing written" "$(nothing_written)" yes
}
expect_installed() {
  install_app
  run_installer "$2" "" modest
  check "$1: exit code" "$(exit_code)" 0
  check "$1: no box" "$(boxes)" 0
  check "$1: package written" "$([[ $(stat -c %s "$APP_DIR/zyq.pak") -gt 1000 ]] && echo yes || echo no)" yes
}

copy() { cp "$original" "$WORK/$1.exe" && echo "$WORK/$1.exe"; }

echo "== The intact installer"
expect_installed intact "$original"

read -r text_offset text_size < <(section "$original" .text)
read -r rsrc_offset rsrc_size < <(section "$original" .rsrc)
slot=$(grep -obUa KavrelDigestSlot "$original" | cut -d: -f1)
size=$(stat -c %s "$original")

echo "== Single flipped bytes"
# Code near the end of the program text (library code that runs late or not at all).
f=$(copy code); flip_byte "$f" $(( $(hex "$text_offset") + $(hex "$text_size") - 200 )); expect_refused "code" "$f"
# The payload, deep inside the resources.
f=$(copy payload); flip_byte "$f" $(( $(hex "$rsrc_offset") + $(hex "$rsrc_size") / 2 )); expect_refused "payload" "$f"
# The stored digest and the stored length.
f=$(copy digest); flip_byte "$f" $((slot + 40)); expect_refused "digest" "$f"
f=$(copy length); flip_byte "$f" $((slot + 24)); expect_refused "covered length" "$f"
f=$(copy marker); flip_byte "$f" $((slot + 3)); expect_refused "slot marker" "$f"
# The last byte of the file.
f=$(copy last); flip_byte "$f" $((size - 1)); expect_refused "last byte" "$f"

echo "== Bytes appended"
f=$(copy appended); printf 'tail' >>"$f"; expect_refused "appended" "$f"
f=$(copy zeros); head -c 8 /dev/zero >>"$f"; expect_refused "appended zeros" "$f"

echo "== Truncated"
f=$(copy truncated); truncate -s $((size - 1)) "$f"; expect_refused "truncated" "$f"

echo "== Signed with a throwaway certificate"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$WORK/key.pem" -out "$WORK/cert.pem" -days 2 \
  -subj "/CN=Lexova test signing" >/dev/null 2>&1
osslsigncode sign -certs "$WORK/cert.pem" -key "$WORK/key.pem" -n "Lexova update" \
  -in "$original" -out "$WORK/signed.exe" >/dev/null 2>&1
check "signature added" "$([[ $(stat -c %s "$WORK/signed.exe") -gt $size ]] && echo yes || echo no)" yes
expect_installed "signed" "$WORK/signed.exe"
cp "$WORK/signed.exe" "$WORK/signed-flipped.exe"
flip_byte "$WORK/signed-flipped.exe" $(( $(hex "$rsrc_offset") + 1000 ))
expect_refused "signed, then a byte flipped" "$WORK/signed-flipped.exe"
cp "$WORK/signed.exe" "$WORK/signed-appended.exe"; printf 'x' >>"$WORK/signed-appended.exe"
expect_refused "signed, then bytes appended" "$WORK/signed-appended.exe"

e2e_end
