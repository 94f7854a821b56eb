#!/usr/bin/env bash
# A vendor's release in a build tree of its own: scripts/release builds,
# signs and proves an installer for a small package and writes the deployment
# sheet beside it; the proof finds a byte flipped after signing and a package
# other than the one installed, and leaves no sheet for either; and the
# build refuses every file that is not a package of this installer, with one
# message naming the file and what it found, leaving no installer behind.
#   release_test.sh SOURCE_DIR MAKE_PACKAGE WORK_DIR
set -uo pipefail
source_dir=$1
make_package=$2
work=$3
tree=$work/tree
mkdir -p "$work"
passed=0
failed=0
check() {  # DESCRIPTION ACTUAL EXPECTED
  if [[ $2 == "$3" ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAIL: %s\n    expected: %s\n    actual:   %s\n' "$1" "$3" "$2"
  fi
}
# contains DESCRIPTION FILE TEXT: the file has a line with TEXT.
contains() { check "$1" "$(grep -qF -- "$3" "$2" && echo yes || { sed 's/^/    | /' "$2"; echo no; })" yes; }

# package FILE SEED: a package file of version 6670, 300,000 bytes.
package() { "$make_package" --size 300000 --seed "$2" --base-name zyq --version 6670 --split 300000 --out1 "$1" --out2 "$1.rest"; }
package "$work/zyq.pak" 1
package "$work/other.pak" 2
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Lexova release test" >/dev/null 2>&1
release=$source_dir/scripts/release
installer=$tree/lexova-update.exe
sheet=$tree/deployment
url=https://downloads.example.com/lexova/lexova-update.exe

echo "== A release, signed with a throwaway certificate"
"$release" "$work/zyq.pak" --cert "$work/cert.pem" --key "$work/key.pem" --tree "$tree" --url "$url" \
  >"$work/release.log" 2>&1
check "release exit code" "$?" 0
for line in "release: installer $installer" "release: SHA-256   $(sha256sum "$installer" | cut -d' ' -f1)" \
            "release: package   version 6670, 300,000 bytes" "release: 4 passed, 0 failed"; do
  contains "release prints: $line" "$work/release.log" "$line"
done
for name in "signature (osslsigncode verify)" "quiet run under Wine exits 0 without a box" \
            "installed package identical to PACKAGE_FILE" "no temporary file left"; do
  check "release check: $name" "$(grep -F "check: $name" "$work/release.log" | awk '{ print $NF }')" passed
done
check "the installer is signed" "$(osslsigncode verify -in "$installer" -CAfile "$work/cert.pem" >/dev/null 2>&1 && echo yes)" yes
check "the Wine prefix thrown away" "$([[ -e $tree/wine ]] && echo kept || echo gone)" gone

echo "== The deployment sheet beside it"
sha=$(sha256sum "$installer" | cut -d' ' -f1)
size=$(LC_NUMERIC=en_US.UTF-8 printf "%'d" "$(stat -c %s "$installer")")
for line in '| File | `lexova-update.exe` |' "| Size | $size bytes |" "| SHA-256 | \`$sha\` |" \
            '| Package version | 6670 ' 'lexova-update.exe modest /log=<path>' 'modest runapp' \
            'Key path: `HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kavrel`' \
            'Value name: `zyq.pak` (REG_DWORD' 'Greater than or equal to **6670**' \
            'Associated with a 32-bit app on 64-bit clients: **No**' \
            "'HKLM:\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Kavrel'" \
            '`%SystemRoot%\Logs\Software\lexova-update.log`'; do
  contains "DEPLOYMENT.md: $line" "$sheet/DEPLOYMENT.md" "$line"
done
# The codes of the sheet and the manifest are the installer's own table, every row.
return_codes=$tree/host-tools/bin/return_codes
check "DEPLOYMENT.md: the table of exit codes, whole" "$(python3 -c 'import sys; print("yes" if sys.argv[2] in open(sys.argv[1]).read() else "no")' \
  "$sheet/DEPLOYMENT.md" "$("$return_codes" markdown)")" yes
check "the table: every code of the installer" "$("$return_codes" markdown | awk -F' [|] ' 'NR > 2 { print $1 }' | tr -d '| ' | tr '\n' ' ')" \
  "0 1602 1618 1605 740 1012 1620 1639 112 32 1603 "
# Each manifest file parses, begins with its schema and holds these values;
# ... stands for any text.
check "winget manifest" "$(python3 - "$sheet/winget" "$url" "${sha^^}" "$("$return_codes" winget)" <<'PY' 2>&1
import sys, yaml
folder, url, sha, codes = sys.argv[1:]
codes = yaml.safe_load(codes)['ExpectedReturnCodes']
if {c['InstallerReturnCode'] for c in codes} != {1602, 1618, 1605, 1620, 1639, 112, 32}:
    print(f'the table gives winget {codes!r}')
files = {'version': ('Orvyn.Lexova.yaml', {'DefaultLocale': 'en-US'}),
         'installer': ('Orvyn.Lexova.installer.yaml', {
             'InstallerType': 'exe', 'Scope': 'machine', 'ElevationRequirement': 'elevatesSelf',
             'InstallerSwitches': {'Silent': 'modest', 'SilentWithProgress': 'modest', 'Log': '/log="<LOGPATH>"'},
             'ExpectedReturnCodes': codes,
             'Installers': [{'Architecture': 'x86', 'InstallerUrl': url, 'InstallerSha256': sha}]}),
         'defaultLocale': ('Orvyn.Lexova.locale.en-US.yaml', {
             'PackageLocale': 'en-US', 'Publisher': ..., 'PackageName': ..., 'License': ..., 'ShortDescription': ...})}
for kind, (name, want) in files.items():
    text = open(f'{folder}/{name}', encoding='utf-8').read()
    if not text.startswith(f'# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}.1.10.0.schema.json\n'):
        print(f'{name}: no schema line')
    have = yaml.safe_load(text)
    want.update(PackageIdentifier='Orvyn.Lexova', PackageVersion='6670', ManifestType=kind, ManifestVersion='1.10.0')
    for key, value in want.items():
        if not (have.get(key) == value or value is ... and isinstance(have.get(key), str) and have[key]):
            print(f'{name}: {key} is {have.get(key)!r}, not {value!r}')
PY
)" ""
"$release" "$work/zyq.pak" --tree "$tree" --url 'https://example.com/a b.exe' >"$work/bad-url.log" 2>&1
check "an address with a space: exit code" "$?" 1
contains "an address with a space: refused" "$work/bad-url.log" "release: --url takes an https address"
check "an address with a space: the sheet kept" "$([[ -f $sheet/DEPLOYMENT.md ]] && echo kept)" kept

echo "== The proof of a copy with a byte flipped after signing"
cp "$installer" "$work/flipped.exe"
offset=$(($(stat -c %s "$installer") / 2))
value=$(od -An -tu1 -j"$offset" -N1 "$installer" | tr -d ' ')
printf "\\x$(printf %02x $((value ^ 0x01)))" | dd of="$work/flipped.exe" bs=1 seek="$offset" conv=notrunc status=none
"$release" --verify "$work/flipped.exe" "$work/zyq.pak" --cert "$work/cert.pem" --tree "$tree" >"$work/flipped.log" 2>&1
check "flipped: exit code" "$?" 1
contains "flipped: signature fails" "$work/flipped.log" "signature (osslsigncode verify)"
check "flipped: signature result" "$(grep -F 'check: signature' "$work/flipped.log" | grep -c FAILED)" 1
contains "flipped: the installer refuses itself" "$work/flipped.log" 'exit code 1620, box "The package file has been distorted!'
check "flipped: package not installed" "$(grep -F 'check: installed package' "$work/flipped.log" | grep -c FAILED)" 1
check "flipped: no sheet beside it" "$([[ -e $work/deployment ]] && echo present || echo none)" none

echo "== The proof against another package file"
"$release" --verify "$installer" "$work/other.pak" --cert "$work/cert.pem" --tree "$tree" >"$work/other.log" 2>&1
check "other package: exit code" "$?" 1
check "other package: signature" "$(grep -F 'check: signature' "$work/other.log" | awk '{ print $NF }')" passed
check "other package: quiet run" "$(grep -F 'check: quiet run' "$work/other.log" | awk '{ print $NF }')" passed
contains "other package: identity fails" "$work/other.log" "installed package identical to PACKAGE_FILE"
check "other package: identity result" "$(grep -F 'check: installed package' "$work/other.log" | grep -c FAILED)" 1
contains "other package: summary" "$work/other.log" "release: 3 passed, 1 failed"
check "other package: the earlier sheet removed" "$([[ -e $sheet ]] && echo present || echo none)" none

echo "== Files the build refuses"
# build_with NAME PACKAGE [CMAKE ARGS...]: the tree reconfigured for PACKAGE
# and the installer built; the build's output in NAME.log.
build_with() {
  local name=$1 file=$2
  shift 2
  cmake -S "$source_dir" -B "$tree" -DKAVREL_PACKAGE_FILE="$file" -DKAVREL_PACKAGE_VERSION= -DKAVREL_SIGN_CERT= \
    -DKAVREL_SIGN_KEY= "$@" >"$work/$name.configure.log" 2>&1 || { cat "$work/$name.configure.log"; return 1; }
  cmake --build "$tree" --target lexova-update -j2 >"$work/$name.log" 2>&1
}
# refused NAME PACKAGE MESSAGE [CMAKE ARGS...]
refused() {
  local name=$1 file=$2 message=$3
  shift 3
  build_with "$name" "$file" "$@"
  check "$name: the build stops" "$([[ $? -ne 0 ]] && echo yes || echo no)" yes
  check "$name: one message" "$(grep -c '^make_package: ' "$work/$name.log")" 1
  check "$name: the message" "$(grep '^make_package: ' "$work/$name.log")" "make_package: refused: $message"
  check "$name: no installer" "$([[ -e $installer ]] && echo present || echo none)" none
  check "$name: no payload part" "$(ls "$tree/installers/lexova-update/" | grep -c '\.bin$')" 0
}
p=$work/refused
mkdir -p "$p"
: >"$p/empty.pak"
printf 'zyq\0\x22\x02\x0e' >"$p/seven.pak"
# Random bytes that happen not to begin with the package's name.
{ printf 'RND\x01'; head -c 996 /dev/urandom; } >"$p/random.pak"
head -c 8 "$work/zyq.pak" >"$p/large.pak" && truncate -s $(((1 << 30) + 1)) "$p/large.pak"
refused missing "$p/none.pak" "cannot read the package file $p/none.pak: No such file or directory"
refused folder "$p" "cannot read the package file $p: not a regular file"
refused empty "$p/empty.pak" \
  "the package file $p/empty.pak is 0 bytes long, shorter than the 8-byte package header"
refused seven "$p/seven.pak" \
  "the package file $p/seven.pak is 7 bytes long, shorter than the 8-byte package header"
refused random "$p/random.pak" \
  "the package file $p/random.pak is not a \"zyq\" package: it begins with 52 4E 44 01 (\"RND.\"), not 7A 79 71 00 (\"zyq.\")"
refused large "$p/large.pak" \
  "the package file $p/large.pak is 1,073,741,825 bytes, larger than 1 GiB (1,073,741,824 bytes), which a 32-bit installer cannot map with room to spare"
refused version "$work/zyq.pak" \
  "the package file $work/zyq.pak records version 6670 in its header, but the build was given version 6660 (KAVREL_PACKAGE_VERSION; leave it empty to take the header's)" \
  -DKAVREL_PACKAGE_VERSION=6660

echo "== The release command on a refused file"
"$release" "$p/random.pak" --tree "$tree" >"$work/release-refused.log" 2>&1
check "refused release: exit code" "$?" 1
contains "refused release: the reason" "$work/release-refused.log" \
  "release: the build refused the package: the package file $p/random.pak is not a \"zyq\" package"
contains "refused release: no installer" "$work/release-refused.log" "release: no installer was made"

echo "$passed passed, $failed failed"
((failed == 0))
