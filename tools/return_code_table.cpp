#include "tools/return_code_table.h"

#include "base/failure.h"

namespace kavrel {

std::string ReturnCodeMarkdownTable() {
    std::string table =
        "| code | Windows name | Intune | Configuration Manager | winget | meaning |\n"
        "|---|---|---|---|---|---|\n";
    for (const ReturnCode& row : ReturnCodeTable()) {
        const std::string winget = *row.wingetResponse ? std::string("`") + row.wingetResponse + "`" : "none";
        table += "| " + std::to_string(row.code) + " | " + row.name + " | " + row.intune + " | " + row.configMgr +
                 " | " + (row.code == 0 ? std::string("success") : winget) + " | " + row.meaning + " |\n";
    }
    return table;
}

std::string WingetExpectedReturnCodes() {
    std::string yaml = "ExpectedReturnCodes:\n";
    for (const ReturnCode& row : ReturnCodeTable()) {
        if (row.code == 0 || !*row.wingetResponse) continue;
        yaml += "- InstallerReturnCode: " + std::to_string(row.code) + "\n  ReturnResponse: " + row.wingetResponse +
                "\n";
    }
    return yaml;
}

}  // namespace kavrel
