// Prints the installer's exit codes for a document: "markdown" the table of
// the README and the deployment sheet, "winget" the manifest's expected
// return codes.
#include <cstdio>
#include <cstring>

#include "tools/return_code_table.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "markdown") == 0) {
        std::fputs(kavrel::ReturnCodeMarkdownTable().c_str(), stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "winget") == 0) {
        std::fputs(kavrel::WingetExpectedReturnCodes().c_str(), stdout);
        return 0;
    }
    std::fputs("usage: return_codes markdown|winget\n", stderr);
    return 2;
}
