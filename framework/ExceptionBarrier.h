// What the framework's entry points (window procedure, dialog procedure, drop target)
// do with an exception that would otherwise leave them into the system's code: out of
// memory is reported through the reporter the program sets, anything else is dropped,
// and the entry point returns a safe result.
#pragma once

namespace fw {

// The program's report of std::bad_alloc caught at an entry point; null for none.
void SetOutOfMemoryReporter(void (*report)());

// Call only inside a catch block: reports the exception being handled, if it is
// std::bad_alloc, and never throws. True for std::bad_alloc.
bool ReportCaughtException() noexcept;

}  // namespace fw
