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

TEST(InstallerImage, VersionResourceNamesTheProductAndPackageVersion) {
    std::string path = Installer();
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
    auto text = [&](const char* name) {
        char* value = nullptr;
        UINT length = 0;
        std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
        if (!::VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) return std::string();
        return std::string(value);
    };
    EXPECT_EQ(text("ProductName"), "Lexova update");
    EXPECT_EQ(text("ProductVersion"), "6660");
}

}  // namespace
}  // namespace kavrel
