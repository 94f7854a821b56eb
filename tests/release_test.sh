#!/usr/bin/env bash
# A vendor's release in a build tree of its own: scripts/release builds,
# signs and proves an installer for a small package and writes the deployment
# sheet and the administrator's kit beside it (the Intune content decrypts to
# that very installer; the Graph body, the scripts and the Configuration
# Manager script carry the release's version, keys, commands and codes); the
# proof finds a byte flipped after signing and a package
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
            'Associated with a 32-bit app on 64-bit clients: **Yes** where the application' \
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
echo "== The administrator's kit beside it"
kit=$sheet/intune
configmgr=$sheet/configmgr/New-LexovaUpdateApplication.ps1
for f in "$kit/lexova-update.intunewin" "$kit/win32app.json" "$kit/detect.ps1" "$kit/requirement.ps1" "$configmgr"; do
  check "kit file ${f#"$sheet/"}" "$([[ -s $f ]] && echo present || echo missing)" present
done
# intunewin_faults FILE INSTALLER: what is wrong with FILE as the Win32 app
# content of INSTALLER, one line each; nothing when it is right. The inner
# file is decrypted by openssl with the key and IV its Detection.xml gives.
intunewin_faults() {
  python3 - "$1" "$2" <<'PY' 2>&1
import base64, hashlib, hmac, io, subprocess, sys, zipfile
import xml.etree.ElementTree as ET
path, installer = sys.argv[1:]
outer = zipfile.ZipFile(path)
contents, metadata = 'IntuneWinPackage/Contents/IntunePackage.intunewin', 'IntuneWinPackage/Metadata/Detection.xml'
if [i.filename for i in outer.infolist()] != [contents, metadata]:
    sys.exit(f'entries {outer.namelist()}')
for info in outer.infolist():
    if info.compress_type != zipfile.ZIP_STORED:
        print(f'{info.filename} is compressed')
text = outer.read(metadata).decode('utf-8')
for attribute in ('xmlns:xsd="http://www.w3.org/2001/XMLSchema"',
                  'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"', 'ToolVersion="'):
    if attribute not in text:
        print(f'Detection.xml without {attribute}')
root = ET.fromstring(text)
field = lambda name: root.findtext(name)
info = lambda name: base64.b64decode(root.findtext(f'EncryptionInfo/{name}') or '')
if root.tag != 'ApplicationInfo':
    print(f'root {root.tag}')
for name, want in (('Name', 'lexova-update.exe'), ('FileName', 'IntunePackage.intunewin'),
                   ('SetupFile', 'lexova-update.exe'), ('EncryptionInfo/ProfileIdentifier', 'ProfileVersion1'),
                   ('EncryptionInfo/FileDigestAlgorithm', 'SHA256')):
    if field(name) != want:
        print(f'{name} is {field(name)!r}, not {want!r}')
key, mac_key, iv, mac, digest = (info(n) for n in ('EncryptionKey', 'MacKey', 'InitializationVector', 'Mac',
                                                   'FileDigest'))
if [len(key), len(mac_key), len(iv), len(mac), len(digest)] != [32, 32, 16, 32, 32]:
    sys.exit(f'sizes of key, MAC key, IV, MAC, digest: {[len(key), len(mac_key), len(iv), len(mac), len(digest)]}')
data = outer.read(contents)
if data[:32] != mac or data[32:48] != iv:
    print('the inner file does not begin with the MAC and the IV')
if not hmac.compare_digest(hmac.new(mac_key, data[32:], hashlib.sha256).digest(), mac):
    print('the MAC does not verify')
plain = subprocess.run(['openssl', 'enc', '-d', '-aes-256-cbc', '-K', key.hex(), '-iv', iv.hex()],
                       input=data[48:], capture_output=True)
if plain.returncode != 0:
    sys.exit(f'openssl does not decrypt it: {plain.stderr.decode().strip()}')
plain = plain.stdout
if hashlib.sha256(plain).digest() != digest:
    print('FileDigest is not the SHA-256 of the decrypted zip')
if field('UnencryptedContentSize') != str(len(plain)):
    print(f'UnencryptedContentSize {field("UnencryptedContentSize")}, decrypted {len(plain)} bytes')
inner = zipfile.ZipFile(io.BytesIO(plain))
if inner.namelist() != ['lexova-update.exe']:
    sys.exit(f'the setup folder holds {inner.namelist()}')
if inner.read('lexova-update.exe') != open(installer, 'rb').read():
    print('the installer in it differs from the released one')
PY
}
check "lexova-update.intunewin: the content of the released installer" \
  "$(intunewin_faults "$kit/lexova-update.intunewin" "$installer")" ""
# The check itself finds a changed byte of the ciphertext: the MAC no longer verifies.
python3 - "$kit/lexova-update.intunewin" "$work/tampered.intunewin" <<'PY'
import sys, zipfile
source, target = sys.argv[1:]
with zipfile.ZipFile(source) as s, zipfile.ZipFile(target, 'w') as t:
    for info in s.infolist():
        data = bytearray(s.read(info))
        if info.filename.endswith('IntunePackage.intunewin'):
            data[-20] ^= 1
        t.writestr(info, bytes(data))
PY
check "a changed byte of the ciphertext is found" \
  "$(intunewin_faults "$work/tampered.intunewin" "$installer" | grep -c 'the MAC does not verify')" 1

install_command='lexova-update.exe modest /log="%ProgramData%\Microsoft\IntuneManagementExtension\Logs\lexova-update.log"'
native_key='SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Kavrel'
wow64_key='SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Kavrel'
check "win32app.json" "$(python3 - "$kit" "$("$return_codes" tsv)" "$install_command" "$native_key" "$wow64_key" <<'PY' 2>&1
import base64, json, sys
kit, codes, install, *keys = sys.argv[1:]
app = json.load(open(f'{kit}/win32app.json', encoding='utf-8'))
want = {'@odata.type': '#microsoft.graph.win32LobApp', 'publisher': 'Orvyn', 'displayVersion': '6670',
        'fileName': 'lexova-update.intunewin', 'setupFilePath': 'lexova-update.exe', 'installCommandLine': install,
        'installExperience': {'@odata.type': '#microsoft.graph.win32LobAppInstallExperience',
                              'runAsAccount': 'system', 'deviceRestartBehavior': 'suppress',
                              'maxRunTimeInMinutes': 30},
        'returnCodes': [{'@odata.type': '#microsoft.graph.win32LobAppReturnCode', 'returnCode': int(line.split('\t')[0]),
                         'type': line.split('\t')[1]} for line in codes.splitlines()]}
for key, value in want.items():
    if app.get(key) != value:
        print(f'{key} is {app.get(key)!r}, not {value!r}')
for key in ('displayName', 'description'):
    if '6670' not in app.get(key, ''):
        print(f'{key} without the version: {app.get(key)!r}')
uninstall = app.get('uninstallCommandLine', '')
for piece in keys + ['QuietUninstallString', 'exit 50', 'Registry64']:
    if piece not in uninstall:
        print(f'uninstallCommandLine without {piece}')
if len(uninstall) > 1024:
    print(f'uninstallCommandLine of {len(uninstall)} characters, more than Intune takes')
rules = {r.get('ruleType'): r for r in app.get('rules', [])}
if sorted(rules) != ['detection', 'requirement'] or len(app['rules']) != 2:
    sys.exit(f'rules {app.get("rules")!r}')
for kind, script, extra in (('detection', 'detect.ps1', {}),
                            ('requirement', 'requirement.ps1',
                             {'operationType': 'string', 'operator': 'equal', 'comparisonValue': 'installed'})):
    rule = rules[kind]
    expected = dict(extra, **{'@odata.type': '#microsoft.graph.win32LobAppPowerShellScriptRule',
                              'enforceSignatureCheck': False, 'runAs32Bit': False})
    for key, value in expected.items():
        if rule.get(key) != value:
            print(f'{kind} rule: {key} is {rule.get(key)!r}, not {value!r}')
    if base64.b64decode(rule.get('scriptContent', '')) != open(f'{kit}/{script}', 'rb').read():
        print(f'{kind} rule: its script is not {script}')
PY
)" ""
check "win32app.json: the codes of the table" \
  "$(python3 -c 'import json, sys; print(" ".join(str(c["returnCode"]) + ":" + c["type"] for c in json.load(open(sys.argv[1]))["returnCodes"]))' "$kit/win32app.json")" \
  "0:success 1602:failed 1618:retry 1605:failed 740:failed 1012:failed 1620:failed 1639:failed 112:failed 32:retry 1603:failed"
for script in detect.ps1 requirement.ps1; do
  contains "$script: the 64-bit view" "$kit/$script" "[Microsoft.Win32.RegistryKey]::OpenBaseKey('LocalMachine', 'Registry64')"
  contains "$script: the registration" "$kit/$script" "\$registrations = '$native_key',"
  contains "$script: the WOW6432Node registration" "$kit/$script" "'$wow64_key'"
done
contains "detect.ps1: the release's version" "$kit/detect.ps1" '$version = 6670'
contains "detect.ps1: the package file" "$kit/detect.ps1" "\$stream = [System.IO.File]::Open(\$folder + 'zyq.pak'"
contains "requirement.ps1: its output" "$kit/requirement.ps1" "'installed'"
for line in "-SoftwareVersion '6670'" \
            "\$installCommand = 'lexova-update.exe modest /log=\"%SystemRoot%\\CCM\\Logs\\lexova-update.log\"'" \
            '[Parameter(Mandatory = $true)] [string] $SiteCode' '[Parameter(Mandatory = $true)] [string] $ContentLocation' \
            '-InstallationBehaviorType InstallForSystem -LogonRequirementType WhetherOrNotUserLoggedOn' \
            '-UserInteractionMode Hidden' '-ScriptLanguage PowerShell -ScriptText $detection' \
            '-ScriptText $requirement -Use32BitHost $false' '-RuleOperator IsEquals -Value1 '"'installed'"; do
  contains "New-LexovaUpdateApplication.ps1: $line" "$configmgr" "$line"
done
# Both scripts as here-strings, and every code of the table with its type.
check "New-LexovaUpdateApplication.ps1: the scripts and the codes" "$(python3 - "$configmgr" "$kit" "$("$return_codes" tsv)" <<'PY' 2>&1
import sys
path, kit, codes = sys.argv[1:]
text = open(path, encoding='utf-8').read()
for variable, script in (('detection', 'detect.ps1'), ('requirement', 'requirement.ps1')):
    if f"${variable} = @'\n" + open(f'{kit}/{script}', encoding='utf-8').read() + "'@\n" not in text:
        print(f'${variable} is not {script}')
for line in codes.splitlines():
    code, _, kind, name, meaning = line.split('\t')
    row = f"@{{ Code = {code}; Type = '{kind}'; Name = '{name}'; Meaning = '{meaning.replace(chr(39), chr(39) * 2)}' }}"
    if row not in text:
        print(f'no row {row}')
if text.count('@{ Code = ') != len(codes.splitlines()):
    print(f'{text.count("@{ Code = ")} rows')
PY
)" ""
for line in '`intune/detect.ps1`' 'leaves the value' '`intune/requirement.ps1`' "    $install_command" \
            'New-LexovaUpdateApplication.ps1 -SiteCode ABC -ContentLocation' 'ERROR_NOT_SUPPORTED' \
            'https://graph.microsoft.com/beta/deviceAppManagement/mobileApps'; do
  contains "DEPLOYMENT.md: $line" "$sheet/DEPLOYMENT.md" "$line"
done
check "DEPLOYMENT.md: the script's detection before the registry value's" \
  "$(awk '/^By the file: / { f = NR } /^By the registry value/ { r = NR }
          END { print (f && r && f < r) ? "yes" : "no" }' "$sheet/DEPLOYMENT.md")" yes

"$release" "$work/zyq.pak" --tree "$tree" --url 'https://example.com/a b.exe' >"$work/bad-url.log" 2>&1
check "an address with a space: exit code" "$?" 1
contains "an address with a space: refused" "$work/bad-url.log" "release: --url takes an https address"
check "an address with a space: the sheet kept" "$([[ -f $sheet/DEPLOYMENT.md ]] && echo kept)" kept
check "an address with a space: the kit kept" "$([[ -f $kit/lexova-update.intunewin && -f $configmgr ]] && echo kept)" kept

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
