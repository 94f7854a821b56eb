#include "install/resource_install.h"

#include <windows.h>

#include "install/install_rules.h"
#include "install/version_probe.h"
#include "install/version_rules.h"
#include "lang/language_files.h"
#include "ui/progress_window.h"

namespace kavrel {

VersionComparison CompareFileVersions(const std::string& kind, const std::wstring& newFile,
                                      const std::wstring& installedFile) {
    VersionComparison result;
    if (kind == "exe") {
        std::string newText = ReadFileVersionText(newFile);
        std::string installedText = ReadFileVersionText(installedFile);
        if (!installedText.empty() && installedText != newText) {
            result.older = IsOlderVersion(newText, installedText);
            result.newVersion = newText;
            result.installedVersion = installedText;
        }
        return result;
    }
    std::int32_t newVersion = 0;
    std::int32_t installedVersion = 0;
    if (kind == "pak") {
        newVersion = ReadPakVersion(newFile);
        installedVersion = ReadPakVersion(installedFile);
    } else if (kind == "mzv") {
        newVersion = ReadMzvVersion(newFile);
        installedVersion = ReadMzvVersion(installedFile);
    } else if (kind == "rdw") {
        newVersion = ReadRdwVersion(newFile);
        installedVersion = ReadRdwVersion(installedFile);
    } else if (kind == "lng" && installedFile.find(L'!') == std::wstring::npos) {
        newVersion = LanguageModule().ReadLanguageFileVersion(newFile);
        installedVersion = LanguageModule().ReadLanguageFileVersion(installedFile);
    } else {
        return result;
    }
    result.newVersion = std::to_string(newVersion);
    result.installedVersion = std::to_string(installedVersion);
    result.older = newVersion < installedVersion;
    return result;
}

std::optional<Failure> InstallResourceFile(const std::string& name, const std::string& type,
                                           const std::wstring& target, bool compare,
                                           const OlderFileQuestion& allowOlder, const ByteProgress& progress,
                                           const WaitClock& clock, Cancellation* cancel) {
    ResourceBytes content;
    try {
        content = FindPayloadResource(name, type);
    } catch (const FailureRaised& raised) {
        return DescribeWriteFailure(raised.failure(), target, 0);
    }
    return AttemptWrite(target, content.size, [&] {
        const bool targetExists = IsExistingFile(target);
        // A new target goes through the temporary file too: a dangling link
        // planted at its name is replaced, never written through.
        StagedFile staged(target, {content}, progress, clock, cancel);
        if (!targetExists || !compare || !IsVersionedKind(type)) {
            staged.Replace(cancel);
            return;
        }
        const VersionComparison versions = CompareFileVersions(type, staged.TemporaryPath(), target);
        if (versions.older) {
            HideProgressWindow();
            if (!allowOlder || !allowOlder(target, versions)) {
                staged.Discard();
                ShowProgressWindowAgain();
                return;
            }
        }
        staged.Replace(cancel);
        if (versions.older) ShowProgressWindowAgain();
    });
}

}  // namespace kavrel
