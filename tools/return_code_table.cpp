#include "tools/return_code_table.h"

#include "base/failure.h"

namespace kavrel {

namespace {

// The table's words as one identifier: "Fast Retry" is FastRetry to the
// Configuration Manager cmdlets; Graph's enumerations begin in lower case
// ("Failed" is failed).
std::string Identifier(std::string words, bool lowerFirst) {
    std::erase(words, ' ');
    if (lowerFirst && !words.empty() && words[0] >= 'A' && words[0] <= 'Z') words[0] = char(words[0] - 'A' + 'a');
    return words;
}

}  // namespace

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

std::string KitReturnCodes() {
    std::string lines;
    for (const ReturnCode& row : ReturnCodeTable())
        lines += std::to_string(row.code) + "\t" + Identifier(row.intune, true) + "\t" +
                 Identifier(row.configMgr, false) + "\t" + row.name + "\t" + row.meaning + "\n";
    return lines;
}

}  // namespace kavrel
