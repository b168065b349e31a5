// How kvctl ends: the documented exit codes, and the one exception that
// carries a failure with its code up to main().
#pragma once

#include <kvcore/refusal.h>

#include <stdexcept>
#include <string>

namespace kvctl {

enum ExitCode : int {
    kExitOk = 0,
    kExitLine = 1,   // the unit did not answer, or the operation failed on the line
    kExitUsage = 2,  // wrong command line, or a change not confirmed
    kExitPort = 3,   // the port is missing, busy or not permitted
    kExitFile = 4,   // a file cannot be read, is refused, or cannot be written
};

// Thrown by the commands; main() prints "kvctl: <message>" and exits with
// the code. Messages name the file or port and the reason.
class Failure : public std::runtime_error {
public:
    Failure(ExitCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
    ExitCode code() const { return code_; }

private:
    ExitCode code_;
};

// Where a refusal of window-free code becomes kvctl's failure:
// "<subject>: <place>: <reason>", or without what is empty.
[[noreturn]] inline void Refused(ExitCode code, const kvcore::Refusal& refusal, const std::string& subject = {}) {
    const std::string message = refusal.Message();
    throw Failure(code, subject.empty() ? message : subject + ": " + message);
}

}  // namespace kvctl
