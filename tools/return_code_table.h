#pragma once
// The installer's exit codes as the documents that administrators read
// give them: the README's and the deployment sheet's table, the winget
// manifest's expected return codes, and the rows the deployment kit enters
// into Intune and Configuration Manager. Written from the one table of the
// installer (ReturnCodeTable), so that no document can say another code.
#include <string>

namespace kavrel {

// The Markdown table: code, its Windows name, Intune's and Configuration
// Manager's return-code type, winget's response, and what it means.
std::string ReturnCodeMarkdownTable();

// The manifest's ExpectedReturnCodes: every code with a winget response.
std::string WingetExpectedReturnCodes();

// One line per code, tab-separated: the code, its type as Microsoft Graph
// names it (win32LobAppReturnCodeType: success, retry, failed), its type as
// the Configuration Manager cmdlets name it (ExitCodeClass: Success,
// FastRetry, Failure), its Windows name and what it means.
std::string KitReturnCodes();

}  // namespace kavrel
