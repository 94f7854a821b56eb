// Prints the installer's exit codes for a document: "markdown" the table of
// the README and the deployment sheet, "winget" the manifest's expected
// return codes, "tsv" the rows of the deployment kit (KitReturnCodes).
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/return_code_table.h"

int main(int argc, char** argv) {
    const struct {
        const char* form;
        std::string (*text)();
    } forms[] = {
        {"markdown", kavrel::ReturnCodeMarkdownTable},
        {"winget", kavrel::WingetExpectedReturnCodes},
        {"tsv", kavrel::KitReturnCodes},
    };
    for (const auto& form : forms) {
        if (argc == 2 && std::strcmp(argv[1], form.form) == 0) {
            std::fputs(form.text().c_str(), stdout);
            return 0;
        }
    }
    std::fputs("usage: return_codes markdown|winget|tsv\n", stderr);
    return 2;
}
