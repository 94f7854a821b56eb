#pragma once
// The path and key surgery of installation discovery, as plain functions.
#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

// The folder of an uninstall command, its last backslash included; nullopt
// when no backslash stands before the command's last character (an empty
// command included). The last character is never examined, so a command
// ending in a backslash gives its parent folder. Leading blanks (spaces,
// tabs) are skipped; a command in double quotes is then cut within its quoted
// path, without the quote, whatever arguments follow.
// The command is UTF-16, as the registry's wide call gives it: a folder may
// hold letters that no ANSI code page has.
std::optional<std::wstring> CutUninstallCommand(std::wstring_view command);

// A REG_EXPAND_SZ path of the 64-bit registry view, for this 32-bit process
// to expand as the 64-bit programs that wrote and read it do: under WOW64
// "%ProgramFiles%" and "%CommonProgramFiles%" name the 32-bit folders
// ("Program Files (x86)"), "%ProgramW6432%" and "%CommonProgramW6432%" the
// native ones. Names in any letter case, each between a pair of "%".
std::wstring WithNativeProgramFolders(std::wstring_view text);

// The same key path below WOW6432Node: "WOW6432Node\" inserted after the
// first backslash ("Software\" + "WOW6432Node\" + "Microsoft\...").
std::string Wow64KeyPath(std::string_view keyPath);

// The four Start-menu folders named after the update's titles.
struct MenuFolders {
    std::string commonMenuDir;       // in the message language
    std::string commonMenuDirOther;  // in the other language
    std::string userMenuDirRu;
    std::string userMenuDirEn;
};
MenuFolders ComposeMenuFolders(const std::string& commonProgramsDir, const std::string& userProgramsDir,
                               const std::string& titleRu, const std::string& titleEn, bool useRussian);

// The all-users Programs folder, or the user's own when it is unknown
// (shorter than two characters).
std::string EffectiveCommonProgramsDir(const std::string& commonProgramsDir, const std::string& userProgramsDir);

}  // namespace kavrel
