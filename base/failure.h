#pragma once
// One record of a failure, made where it happens and carried whole to the
// update flow's reporter, which writes its log line, shows its box and ends
// the run with the Windows code of its cause. Deployment tools and their
// administrators read that code (certutil -error, Configuration Manager's
// error lookup, winget's expected return codes); each code's system text
// says the cause.
#include <cstdint>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "base/shown_text.h"

namespace kavrel {

// A place in the installer's code: the file as the compiler was given it and
// the line. Made by the default argument of a function that records a
// failure, it names the caller's place. (std::source_location is not known
// to every compiler that builds the installer's parsers.)
struct CodeLocation {
    const char* file = "";
    std::uint_least32_t line = 0;
    static constexpr CodeLocation Here(const char* file = __builtin_FILE(),
                                       std::uint_least32_t line = __builtin_LINE()) {
        return {file, line};
    }
};

// Why a run did not end in an installed and recorded package. Each has its
// own exit code (ReturnCodeTable).
enum class FailureCause : std::uint8_t {
    Declined,            // the person declined the confirmation
    Cancelled,           // the person stopped a long step with the progress window's Cancel
    AnotherCopyRunning,  // another copy of the installer holds the lock
    NotInstalled,        // the application is not installed
    NotAdministrator,    // the user is not an administrator
    RegistryUnreadable,  // the registry could not be read
    InstallerDamaged,    // the installer's own file is damaged or cannot be read
    NobodyToAnswer,      // a question was needed where nobody can answer it
    DiskFull,            // too little free space for the package
    FileInUse,           // the package or its temporary file held by another program after the wait
    InstallFailed,       // any other failure of a writing step, or one nobody foresaw
};

// Who gave the failure's code.
enum class FailureOrigin : std::uint8_t {
    Windows,    // a Win32 error (GetLastError's kind)
    NtStatus,   // an NTSTATUS of the system's native calls
    HResult,    // an HRESULT of a COM call
    Installer,  // the installer's own refusal, in its own words
};

// A program that holds a file open, in whatever session it runs.
struct FileHolder {
    std::string name;  // as Restart Manager gives it, UTF-8
    std::uint32_t processId = 0;
    std::uint32_t sessionId = 0;
    friend bool operator==(const FileHolder&, const FileHolder&) = default;
};

struct Failure {
    FailureCause cause = FailureCause::InstallFailed;
    // The step of the run that failed ("write", "discovery", "EstimatedSize").
    std::string step;
    // What failed, in the installer's words ("cannot replace the installed file").
    std::string what;
    // The path or registry key it concerned; empty when none.
    ShownText subject;
    // The code that `origin` gave. A refusal of the installer's own carries the
    // Win32 error whose meaning the person is told, but is never logged as one.
    std::uint32_t code = 0;
    FailureOrigin origin = FailureOrigin::Installer;
    // The Win32 error the code means: what the person is told and what the
    // installer's rules read. The code itself for a Win32 error and a
    // refusal, the system's translation of an NTSTATUS, the error that an
    // HRESULT wraps (0 where it wraps none).
    std::uint32_t windowsError = 0;
    // Where in the installer's code the record was made.
    CodeLocation where;
    // For too little space: what the package needs and the volume offers, in bytes.
    std::uint64_t neededBytes = 0;
    std::uint64_t freeBytes = 0;
    // For a file in use: the programs holding it, as Restart Manager names them.
    std::vector<FileHolder> holders;
};

// Errors that show by themselves that another process holds a file open
// (sharing and lock violations, a file mapped into a process, a name still
// being removed).
bool IsFileInUseError(std::uint32_t windowsError);
// The cause that a Windows error tells by itself: too little space, a file
// in use, or another failure. A record made by the makers below starts with
// the cause of the Windows error it means (a refusal, of the error it is
// told as); one whose step knows better is made with that step's own cause.
FailureCause CauseOfWindowsError(std::uint32_t windowsError);

// A failure that Windows reported with a Win32 error.
Failure WindowsFailure(std::string what, std::uint32_t error, ShownText subject,
                       CodeLocation where = CodeLocation::Here());
// A failure that a native call reported with an NTSTATUS; `windowsError` is
// the system's translation of it.
Failure NtStatusFailure(std::string what, std::uint32_t status, std::uint32_t windowsError, ShownText subject,
                        CodeLocation where = CodeLocation::Here());
// A failure that a COM call reported with an HRESULT.
Failure HResultFailure(std::string what, std::uint32_t result, ShownText subject,
                       CodeLocation where = CodeLocation::Here());
// The installer's own refusal; `toldAs` is the Win32 error the person is told of.
Failure Refusal(std::string what, std::uint32_t toldAs, ShownText subject,
                CodeLocation where = CodeLocation::Here());

// The installer's own finding that ends a run for `cause` (another copy
// running, the user's answer), told as the code of that cause.
Failure Finding(FailureCause cause, std::string step, std::string what, ShownText subject = {},
                CodeLocation where = CodeLocation::Here());

// The place in the installer's code, as a log line shows it: "install/extraction.cpp:154".
std::string CodePlace(const CodeLocation& where);

// The one exception that carries a failure inside an operation, up to the
// boundary where it is returned.
class FailureRaised : public std::exception {
public:
    explicit FailureRaised(Failure failure) : failure_(std::move(failure)) {}
    const char* what() const noexcept override { return failure_.what.c_str(); }
    const Failure& failure() const noexcept { return failure_; }
    Failure& failure() noexcept { return failure_; }

private:
    Failure failure_;
};

[[noreturn]] void Raise(Failure failure);

// What an operation that gives a value came to at its boundary: the value,
// or the record of the failure that kept it from giving one.
template <typename Value>
class Result {
public:
    Result(Value value) : outcome_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : outcome_(std::in_place_index<1>, std::move(failure)) {}

    bool HasValue() const noexcept { return outcome_.index() == 0; }
    const Value& value() const { return std::get<0>(outcome_); }
    Value& value() { return std::get<0>(outcome_); }
    const Failure& failure() const { return std::get<1>(outcome_); }
    Failure& failure() { return std::get<1>(outcome_); }

private:
    std::variant<Value, Failure> outcome_;
};

// One row of the exit codes: the cause (none for success), the Windows code
// and its name, how winget, Intune and Configuration Manager take it, and
// what it means to an administrator.
struct ReturnCode {
    std::optional<FailureCause> cause;
    std::uint32_t code;
    const char* name;
    const char* wingetResponse;  // empty: winget has no response for it
    const char* intune;          // Success, Retry or Failed
    const char* configMgr;       // Success, Fast Retry or Failure
    const char* meaning;
    // A second cause told by the same code (a cancelled step, as a declined
    // confirmation, is the person's choice).
    std::optional<FailureCause> alsoCause = std::nullopt;
};

// Every exit code of the installer, success first.
std::span<const ReturnCode> ReturnCodeTable();

// The exit code of a run that ended with `failure`; 0 without one.
std::uint32_t ExitCodeOf(const std::optional<Failure>& failure);

// The log line of a failure: "<step> failed: <what>, path <subject>" and the
// code with the system's text (`systemText`, of the Win32 error it means;
// empty when there is none), or "<step> refused: <what>, path <subject>"
// for the installer's own refusal; then each program holding the file, with
// its process and session; last the place in the code that made the record.
ShownText FailureLogText(const Failure& failure, const ShownText& systemText);

// The names of the programs holding a file, joined by ", ", for the person.
ShownText HolderNames(const std::vector<FileHolder>& holders);

// Keeps the first failure of a run: the first decides its exit code.
void KeepFirst(std::optional<Failure>& first, const Failure& failure);

}  // namespace kavrel
