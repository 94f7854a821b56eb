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
files = {'version': ('Orvyn.LexovaUpdate.yaml', {'DefaultLocale': 'en-US'}),
         'installer': ('Orvyn.LexovaUpdate.installer.yaml', {
             'InstallerType': 'exe', 'Scope': 'machine', 'ElevationRequirement': 'elevatesSelf',
             'InstallerSwitches': {'Silent': 'modest', 'SilentWithProgress': 'modest', 'Log': '/log="<LOGPATH>"'},
             'ExpectedReturnCodes': codes,
             'Installers': [{'Architecture': 'x86', 'InstallerUrl': url, 'InstallerSha256': sha}]}),
         'defaultLocale': ('Orvyn.LexovaUpdate.locale.en-US.yaml', {
             'PackageLocale': 'en-US', 'Publisher': ..., 'PackageName': ..., 'License': ..., 'ShortDescription': ...})}
for kind, (name, want) in files.items():
    text = open(f'{folder}/{name}', encoding='utf-8').read()
    if not text.startswith(f'# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}.1.10.0.schema.json\n'):
        print(f'{name}: no schema line')
    have = yaml.safe_load(text)
    want.update(PackageIdentifier='Orvyn.LexovaUpdate', PackageVersion='6670', ManifestType=kind, ManifestVersion='1.10.0')
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
if uninstall != 'cmd.exe /d /c exit 50':
    print(f'uninstallCommandLine is {uninstall!r}')
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
  contains "$script: the registration" "$kit/$script" "\$registrationPath = '$native_key'"
  contains "$script: the WOW6432Node registration" "$kit/$script" "\$wow64RegistrationPath = '$wow64_key'"
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
import base64, re, sys
path, kit, codes = sys.argv[1:]
text = open(path, encoding='utf-8', newline='').read()
for variable, script in (('detection', 'detect.ps1'), ('requirement', 'requirement.ps1')):
    # [Text.Encoding]::ASCII.GetString([Convert]::FromBase64String(@' ... '@)), line breaks skipped.
    found = re.search(r"\$" + variable + r" = \[Text\.Encoding\]::ASCII\.GetString\(\[Convert\]::FromBase64String\(@'\r\n"
                      r"([A-Za-z0-9+/=\r\n]*?)\r\n'@\)\)\r\n", text)
    if not found or base64.b64decode(re.sub(r'\s', '', found[1])) != open(f'{kit}/{script}', 'rb').read():
        print(f'${variable} is not {script}, byte for byte')
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

echo "== The kit's uninstall command changes nothing"
# The command runs cmd.exe alone, without its AutoRun commands, to end with
# 50; nothing of the registration (the application's own uninstaller) in it.
no_uninstaller='cmd.exe /d /c exit 50'
check "win32app.json: the uninstall command" \
  "$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["uninstallCommandLine"])' "$kit/win32app.json")" \
  "$no_uninstaller"
check "New-LexovaUpdateApplication.ps1: the uninstall command" \
  "$(grep -a '^\$uninstallCommand = ' "$configmgr" | tr -d '\r')" "\$uninstallCommand = '$no_uninstaller'"
for piece in UninstallString QuietUninstallString 'Uninstall\Kavrel' Start-Process OpenSubKey; do
  check "no uninstall command names $piece" \
    "$(cat "$kit/win32app.json" "$configmgr" | grep -a -E 'uninstallCommandLine|^\$uninstallCommand' | grep -c -F -- "$piece")" 0
done
for line in "    $no_uninstaller" 'ends with exit code **50** (ERROR_NOT_SUPPORTED' \
            '"Uninstall previous version": **No** (Graph `supersedenceType`' 'To remove the package, uninstall Lexova itself.'; do
  contains "DEPLOYMENT.md: $line" "$sheet/DEPLOYMENT.md" "$line"
done

echo "== The requirement is the installer's own rule, in every host"
# Both scripts find the folder with the same text, and the requirement answers
# only for a registration's UninstallString whose folder holds Kavrel.exe.
discovery() { sed -n '/^# The application.s folder, found as the installer finds it/,/^if (\$folder -and \$folder -notmatch/p' "$1"; }
check "the scripts share the way to the folder" \
  "$([[ -n $(discovery "$kit/detect.ps1") && $(discovery "$kit/detect.ps1") == "$(discovery "$kit/requirement.ps1")" ]] && echo yes)" yes
check "requirement.ps1: one answer, for Kavrel.exe in the folder" \
  "$(grep -a -F "'installed'" "$kit/requirement.ps1" | tr -d '\r')" \
  "if (\$folder -and [System.IO.File]::Exists(\$folder + 'Kavrel.exe')) { 'installed' }"
for line in "\$text = \$key.GetValue('UninstallString', \$null, 'DoNotExpandEnvironmentNames')" \
            "\$folder = Get-CommandFolder (\$command.Split([char] 0)[0])" \
            "if ([Microsoft.Win32.RegistryKey].GetMethod('OpenBaseKey')) {" \
            "\$options.Context.Add('__ProviderArchitecture', 64)" \
            "\$command = Convert-ProgramFolders \$command 'ProgramW6432' 'CommonProgramW6432'" \
            "\$command = Convert-ProgramFolders \$command 'ProgramFiles(x86)' 'CommonProgramFiles(x86)'"; do
  contains "requirement.ps1: $line" "$kit/requirement.ps1" "$line"
done
# PowerShell reads a script without a byte order mark in the system's code
# page, and a signature covers the text as read: ASCII with CR LF alone.
for f in "$kit/detect.ps1" "$kit/requirement.ps1" "$configmgr"; do
  check "${f#"$sheet/"}: ASCII, every line ending in CR LF" "$(python3 -c '
import sys
data = open(sys.argv[1], "rb").read()
print("yes" if data.isascii() and data.endswith(b"\r\n") and data.count(b"\n") == data.count(b"\r\n") == data.count(b"\r") else "no")' "$f")" yes
done
for line in 'applicable on all' 'gives the same answer in 64-bit and 32-bit PowerShell' '"not applicable" rather than a failure' \
            'holds `Kavrel.exe`'; do
  contains "DEPLOYMENT.md: $line" "$sheet/DEPLOYMENT.md" "$line"
done
check "win32app.json: applicable on x86, x64 and ARM64" "$(python3 -c '
import json, sys
app = json.load(open(sys.argv[1]))
print(app.get("allowedArchitectures"), app.get("applicableArchitectures"))' "$kit/win32app.json")" "x86,x64,arm64 none"

echo "== Signed scripts"
# Each script ends with its signature block, which osslsigncode verify takes
# with the test certificate; the signer is the installer's certificate; the
# Graph body and the Configuration Manager script carry them as signed.
der() { openssl x509 -in "$1" -outform DER 2>/dev/null | sha256sum | cut -d' ' -f1; }
for f in "$kit/detect.ps1" "$kit/requirement.ps1" "$configmgr"; do
  name=${f#"$sheet/"}
  check "$name: ends with its signature block" \
    "$(tail -c 100 "$f" | tr -d '\r' | tail -n1; grep -a -c '^# SIG # Begin signature block' "$f")" \
    "# SIG # End signature block
1"
  check "$name: osslsigncode verify" \
    "$(osslsigncode verify -in "$f" -CAfile "$work/cert.pem" >"$work/verify-script.log" 2>&1 && echo passed)" passed
  # osslsigncode writes no output over an existing file.
  rm -f "$work/script-signature.der"
  osslsigncode extract-signature -in "$f" -out "$work/script-signature.der" >/dev/null 2>&1
  check "$name: signed with the installer's certificate" \
    "$(openssl pkcs7 -inform DER -in "$work/script-signature.der" -print_certs 2>/dev/null | der /dev/stdin)" \
    "$(der "$work/cert.pem")"
done
check "publisher.cer: the certificate" "$(openssl x509 -inform DER -in "$sheet/publisher.cer" -outform PEM 2>/dev/null | der /dev/stdin)" \
  "$(der "$work/cert.pem")"
# A changed byte in a signed script's text fails the verification.
sed '0,/exit 0/s//exit 1/' "$kit/detect.ps1" >"$work/changed.ps1"
check "a changed byte in a signed script: a different file" "$(cmp -s "$kit/detect.ps1" "$work/changed.ps1" || echo yes)" yes
check "a changed byte in a signed script: osslsigncode verify fails" \
  "$(osslsigncode verify -in "$work/changed.ps1" -CAfile "$work/cert.pem" >"$work/changed.log" 2>&1 || echo failed)" failed
contains "a changed byte in a signed script: the digest differs" "$work/changed.log" "MISMATCH"
for line in "release: signed intune/detect.ps1 (osslsigncode verify passed)" \
            "release: signed intune/requirement.ps1 (osslsigncode verify passed)" \
            "release: signed configmgr/New-LexovaUpdateApplication.ps1 (osslsigncode verify passed)"; do
  contains "release prints: $line" "$work/release.log" "$line"
done
for line in '| Scripts | signed with the installer'"'"'s certificate' '**Trusted Publishers**' \
            "SHA-1 thumbprint \`$(openssl x509 -in "$work/cert.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')\`" \
            '"PowerShell execution policy"'; do
  contains "DEPLOYMENT.md: $line" "$sheet/DEPLOYMENT.md" "$line"
done

echo "== The Intune content in the content prep tool's form"
# Detection.xml as the tool writes it (no XML declaration, its order, two-space
# indents, CR LF, no line ending after the last element, its current version),
# and zip entries made on Windows, stored, without attributes.
# intunewin_form_faults FILE: each way FILE differs from that form, one line each.
intunewin_form_faults() {
  python3 - "$1" <<'PY' 2>&1
import re, sys, zipfile
outer = zipfile.ZipFile(sys.argv[1])
b64 = r'[A-Za-z0-9+/]+=*'
form = '\r\n'.join([
    '<ApplicationInfo xmlns:xsd="http://www.w3.org/2001/XMLSchema" '
    'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" ToolVersion="1\\.8\\.7\\.0">',
    '  <Name>lexova-update\\.exe</Name>',
    '  <UnencryptedContentSize>[0-9]+</UnencryptedContentSize>',
    '  <FileName>IntunePackage\\.intunewin</FileName>',
    '  <SetupFile>lexova-update\\.exe</SetupFile>',
    '  <EncryptionInfo>',
    f'    <EncryptionKey>{b64}</EncryptionKey>',
    f'    <MacKey>{b64}</MacKey>',
    f'    <InitializationVector>{b64}</InitializationVector>',
    f'    <Mac>{b64}</Mac>',
    '    <ProfileIdentifier>ProfileVersion1</ProfileIdentifier>',
    f'    <FileDigest>{b64}</FileDigest>',
    '    <FileDigestAlgorithm>SHA256</FileDigestAlgorithm>',
    '  </EncryptionInfo>',
    '</ApplicationInfo>'])
text = outer.read('IntuneWinPackage/Metadata/Detection.xml')
if not re.fullmatch(form.encode(), text):
    print(f'Detection.xml is not in the form: {text[:60]!r}')
for info in outer.infolist():
    if (info.create_system, info.external_attr, info.compress_type) != (0, 0, zipfile.ZIP_STORED):
        print(f'{info.filename}: made on {info.create_system}, attributes {info.external_attr:#x}, method {info.compress_type}')
PY
}
check "lexova-update.intunewin: the tool's form" "$(intunewin_form_faults "$kit/lexova-update.intunewin")" ""
# The check finds the form that Intune's portal is reported to refuse: an XML
# declaration, LF line endings, entries made on Unix.
python3 - "$kit/lexova-update.intunewin" "$work/unix.intunewin" <<'PY'
import sys, zipfile
source, target = sys.argv[1:]
with zipfile.ZipFile(source) as s, zipfile.ZipFile(target, 'w') as t:
    for info in s.infolist():
        data = s.read(info)
        if info.filename.endswith('Detection.xml'):
            data = b'<?xml version="1.0" encoding="utf-8"?>\n' + data.replace(b'\r\n', b'\n')
        t.writestr(info.filename, data)
PY
check "the form check finds a declaration, LF and entries made on Unix" \
  "$(intunewin_form_faults "$work/unix.intunewin" | sed 's/:.*//')" \
  "Detection.xml is not in the form
IntuneWinPackage/Contents/IntunePackage.intunewin
IntuneWinPackage/Metadata/Detection.xml"

echo "== winget: the update's own identifier, and what winget shows"
check "winget: no manifest under the application's identifier" "$(ls "$sheet/winget" | grep -c '^Orvyn\.Lexova\.')" 0
for line in 'winget settings --enable LocalManifestFiles' '`winget list` and `winget upgrade` never show the update' \
            '## Inventory: which package version a device has' 'detected: zyq.pak version N in <folder>'; do
  contains "DEPLOYMENT.md: $line" "$sheet/DEPLOYMENT.md" "$line"
done

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

echo "== A proof without the key: the kit's scripts unsigned, and the sheet says so"
"$release" --verify "$installer" "$work/zyq.pak" --cert "$work/cert.pem" --tree "$tree" >"$work/unsigned.log" 2>&1
check "unsigned: exit code" "$?" 0
for f in "$kit/detect.ps1" "$kit/requirement.ps1" "$configmgr"; do
  check "unsigned: ${f#"$sheet/"} without a signature block" "$(grep -a -c '# SIG #' "$f")" 0
done
check "unsigned: osslsigncode verify refuses an unsigned script" \
  "$(osslsigncode verify -in "$kit/detect.ps1" -CAfile "$work/cert.pem" >/dev/null 2>&1 || echo refused)" refused
check "unsigned: no publisher certificate" "$([[ -e $sheet/publisher.cer ]] && echo present || echo none)" none
check "unsigned: win32app.json carries the scripts" "$(python3 -c '
import base64, json, sys
rules = json.load(open(sys.argv[1] + "/win32app.json"))["rules"]
print(" ".join(str(base64.b64decode(r["scriptContent"]) == open(sys.argv[1] + "/" + s, "rb").read())
               for r, s in zip(rules, ("detect.ps1", "requirement.ps1"))))' "$kit")" "True True"
for line in '| Scripts | not signed' 'are **not signed**' 'to **Bypass**'; do
  contains "unsigned: DEPLOYMENT.md: $line" "$sheet/DEPLOYMENT.md" "$line"
done

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
