// The built installers as files: a 32-bit GUI program that imports system
// DLLs only, with its manifest, version resource and the two payload parts.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/unique_handle.h"
#include "support/wine_paths.h"

namespace kavrel {
namespace {

std::string Installer() { return testing::WindowsPathFromEnvironment("KAVREL_INSTALLER"); }
std::string SmallInstaller() { return testing::WindowsPathFromEnvironment("KAVREL_SMALL_INSTALLER"); }
// Built from a package file of version 6670 and 70,000 bytes, no version given.
std::string VendorInstaller() { return testing::WindowsPathFromEnvironment("KAVREL_VENDOR_INSTALLER"); }

// Only the program's headers: the payload makes up most of the file.
std::vector<unsigned char> ReadHead(const std::string& path, std::size_t size) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes(size);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

struct LoadedAsData {
    explicit LoadedAsData(const std::string& path)
        : module(::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    // The payload as the installer finds it: by type and name, no language asked.
    std::string Resource(const char* type, const char* name) const {
        HRSRC found = ::FindResourceA(module.get(), name, type);
        if (!found) return "(none)";
        HGLOBAL loaded = ::LoadResource(module.get(), found);
        return std::string(static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(module.get(), found));
    }
    DWORD ResourceSize(const char* type, const char* name, WORD language) const {
        HRSRC found = ::FindResourceExA(module.get(), type, name, language);
        return found ? ::SizeofResource(module.get(), found) : 0;
    }
    UniqueModule module;
};

std::vector<std::string> ImportedDlls(const std::string& path) {
    UniqueModule image(::LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    std::vector<std::string> names;
    if (!image) return {"(cannot load)"};
    auto base = reinterpret_cast<const unsigned char*>(image.get());
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
        std::string name = reinterpret_cast<const char*>(base + imp->Name);
        std::transform(name.begin(), name.end(), name.begin(), [](char c) { return static_cast<char>(tolower(c)); });
        names.push_back(name);
    }
    return names;
}

// Every function the image imports by name, as "dll!Function" (dll in lower case).
std::vector<std::string> ImportedFunctions(const std::string& path) {
    UniqueModule image(::LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    if (!image) return {"(cannot load)"};
    auto base = reinterpret_cast<const unsigned char*>(image.get());
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> functions;
    for (auto imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
        std::string dll = reinterpret_cast<const char*>(base + imp->Name);
        std::transform(dll.begin(), dll.end(), dll.begin(), [](char c) { return static_cast<char>(tolower(c)); });
        // The lookup table names the functions; the address table may be bound.
        DWORD table = imp->OriginalFirstThunk ? imp->OriginalFirstThunk : imp->FirstThunk;
        for (auto thunk = reinterpret_cast<const IMAGE_THUNK_DATA32*>(base + table); thunk->u1.AddressOfData; ++thunk) {
            if (IMAGE_SNAP_BY_ORDINAL32(thunk->u1.Ordinal)) {
                functions.push_back(dll + "!#" + std::to_string(IMAGE_ORDINAL32(thunk->u1.Ordinal)));
                continue;
            }
            auto byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + thunk->u1.AddressOfData);
            functions.push_back(dll + "!" + reinterpret_cast<const char*>(byName->Name));
        }
    }
    return functions;
}

// The size of the delay-load import directory. A delay-loaded DLL is looked
// for by name at the first call into it, whenever that comes: the import
// table check does not see it.
DWORD DelayImportDirectorySize(const std::string& path) {
    UniqueModule image(::LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    if (!image) return ~DWORD{0};
    auto base = reinterpret_cast<const unsigned char*>(image.get());
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    return nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].Size;
}

TEST(InstallerImage, IsA32BitGuiProgram) {
    std::vector<unsigned char> head = ReadHead(Installer(), 4096);
    ASSERT_GE(head.size(), 1024u);
    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, head.data(), sizeof dos);
    ASSERT_EQ(dos.e_magic, IMAGE_DOS_SIGNATURE);
    IMAGE_NT_HEADERS32 nt;
    std::memcpy(&nt, head.data() + dos.e_lfanew, sizeof nt);
    EXPECT_EQ(nt.Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(nt.FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(nt.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_EQ(nt.FileHeader.TimeDateStamp, 0u) << "a link timestamp makes builds differ";
}

TEST(InstallerImage, ImportsSystemDllsOnly) {
    const std::set<std::string> system = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll",
                                          "msvcrt.dll", "gdi32.dll"};
    std::vector<std::string> imports = ImportedDlls(Installer());
    ASSERT_FALSE(imports.empty());
    for (const std::string& dll : imports) EXPECT_TRUE(system.count(dll)) << dll << " is not a system DLL";
    EXPECT_EQ(DelayImportDirectorySize(Installer()), 0u) << "a delay-loaded DLL is found by a search";
}

// Functions that Windows Vista lacks, which the README names as the oldest
// Windows the installer starts on: an import of one makes the loader refuse
// the program there. First those this build could plausibly pull in: the
// DLL search hardening (looked up at run time on purpose), what newer
// threads, clocks and atomics of the MinGW runtime and libstdc++ use, and
// what a newer Windows SDK header would make the default.
const char* const kNewerThanVista[] = {
    // Windows 8, or Windows 7 with KB2533623.
    "kernel32.dll!SetDefaultDllDirectories", "kernel32.dll!AddDllDirectory", "kernel32.dll!RemoveDllDirectory",
    // Windows 7.
    "kernel32.dll!TryAcquireSRWLockExclusive", "kernel32.dll!TryAcquireSRWLockShared",
    "kernel32.dll!GetCurrentProcessorNumberEx", "kernel32.dll!GetActiveProcessorCount",
    "kernel32.dll!GetLogicalProcessorInformationEx", "kernel32.dll!GetThreadGroupAffinity",
    "kernel32.dll!SetThreadGroupAffinity", "kernel32.dll!QueryUnbiasedInterruptTime",
    "kernel32.dll!SetWaitableTimerEx", "kernel32.dll!ResolveLocaleName", "kernel32.dll!PowerCreateRequest",
    "user32.dll!ChangeWindowMessageFilterEx", "user32.dll!RegisterTouchWindow", "user32.dll!QueryDisplayConfig",
    "advapi32.dll!RegLoadAppKeyA", "advapi32.dll!RegLoadAppKeyW",
    "shell32.dll!SetCurrentProcessExplicitAppUserModelID", "shell32.dll!SHGetPropertyStoreForWindow",
    // Windows 8 and 8.1.
    "kernel32.dll!GetSystemTimePreciseAsFileTime", "kernel32.dll!WaitOnAddress", "kernel32.dll!WakeByAddressSingle",
    "kernel32.dll!WakeByAddressAll", "kernel32.dll!GetCurrentThreadStackLimits", "kernel32.dll!CreateFile2",
    "kernel32.dll!CopyFile2", "kernel32.dll!GetProcessMitigationPolicy", "kernel32.dll!SetProcessMitigationPolicy",
    "kernel32.dll!SetThreadInformation", "kernel32.dll!GetOverlappedResultEx", "kernel32.dll!GetFirmwareType",
    "kernel32.dll!PrefetchVirtualMemory", "kernel32.dll!CreateFileMappingFromApp", "user32.dll!GetPointerType",
    "shell32.dll!GetDpiForShellUIComponent",
    // Windows 10.
    "kernel32.dll!SetThreadDescription", "kernel32.dll!GetThreadDescription", "kernel32.dll!IsWow64Process2",
    "kernel32.dll!VirtualAlloc2", "kernel32.dll!MapViewOfFile3", "kernel32.dll!CreatePseudoConsole",
    "user32.dll!SetProcessDpiAwarenessContext", "user32.dll!SetThreadDpiAwarenessContext",
    "user32.dll!GetDpiForWindow", "user32.dll!GetDpiForSystem", "user32.dll!GetSystemMetricsForDpi",
    "user32.dll!AdjustWindowRectExForDpi", "user32.dll!SystemParametersInfoForDpi",
};

TEST(InstallerImage, ImportsNothingThatWindowsVistaLacks) {
    std::vector<std::string> imports = ImportedFunctions(Installer());
    ASSERT_GT(imports.size(), 20u);
    const std::set<std::string> imported(imports.begin(), imports.end());
    for (const char* newer : kNewerThanVista)
        EXPECT_FALSE(imported.count(newer)) << newer << " does not exist on Windows Vista, the README's floor";
    for (const std::string& function : imports)
        EXPECT_EQ(function.find("!#"), std::string::npos) << function << ": an import by number alone";
    // The README gives this import as the reason that Windows XP is below the
    // floor: when it goes, the README's floor is to be looked at again.
    EXPECT_TRUE(imported.count("kernel32.dll!GetTickCount64"));
}

TEST(InstallerImage, ManifestAsksForAdministratorAndCommonControls6WithoutNewerSystems) {
    LoadedAsData installer(Installer());
    ASSERT_TRUE(installer.module);
    std::string manifest = installer.Resource(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    // Windows 8.1 and Windows 10/11: listing them would stop the system reporting 6.2.
    EXPECT_EQ(manifest.find("1f676c76-80e1-4239-95bb-83d0f6d0da78"), std::string::npos);
    EXPECT_EQ(manifest.find("8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"), std::string::npos);
}

TEST(InstallerImage, CarriesTheFullSizePackageInTwoRussianParts) {
    LoadedAsData installer(Installer());
    ASSERT_TRUE(installer.module);
    const WORD russian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);
    EXPECT_EQ(russian, 1049);
    EXPECT_EQ(installer.ResourceSize("PAK", "ZYQ1", russian), 106444448u);
    EXPECT_EQ(installer.ResourceSize("PAK", "ZYQ2", russian), 142747514u);
    std::string first = installer.Resource("pak", "zyq1");
    ASSERT_EQ(first.size(), 106444448u);
    EXPECT_EQ(first.substr(0, 8), std::string("zyq\0\x22\x02\x04\x1A", 8));
}

TEST(InstallerImage, SmallBuildSplitsItsPackageWhereAsked) {
    LoadedAsData installer(SmallInstaller());
    ASSERT_TRUE(installer.module);
    std::string first = installer.Resource("PAK", "ZYQ1");
    std::string second = installer.Resource("PAK", "ZYQ2");
    EXPECT_EQ(first.size(), 120000u);
    EXPECT_EQ(second.size(), 180000u);
    EXPECT_EQ(first.substr(0, 8), std::string("zyq\0\x22\x02\x04\x1A", 8));
    // Seeded bytes: not a constant fill.
    EXPECT_NE(second.substr(0, 64), std::string(64, second[0]));
}

TEST(InstallerImage, APackageSmallerThanTheFirstPartLeavesTheSecondEmpty) {
    LoadedAsData installer(VendorInstaller());
    ASSERT_TRUE(installer.module);
    std::string first = installer.Resource("PAK", "ZYQ1");
    EXPECT_EQ(first.size(), 70000u);
    EXPECT_EQ(first.substr(0, 8), std::string("zyq\0\x22\x02\x0E\x1A", 8));
    EXPECT_EQ(installer.Resource("PAK", "ZYQ2"), "") << "present, and empty";
}

std::string VersionText(const std::string& path, const char* name) {
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0) return "(no version resource)";
    std::vector<char> block(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return "(unreadable)";
    char* value = nullptr;
    UINT length = 0;
    std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!::VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) return "";
    return std::string(value);
}

TEST(InstallerImage, VersionResourceNamesTheProductAndPackageVersion) {
    EXPECT_EQ(VersionText(Installer(), "ProductName"), "Lexova update");
    EXPECT_EQ(VersionText(Installer(), "ProductVersion"), "6660");
    EXPECT_EQ(VersionText(Installer(), "FileVersion"), "6660");
    // The version the vendor's package records, no version given to the build.
    EXPECT_EQ(VersionText(VendorInstaller(), "ProductVersion"), "6670");
}

}  // namespace
}  // namespace kavrel
