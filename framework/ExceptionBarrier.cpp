#include "framework/ExceptionBarrier.h"

#include <new>

namespace fw {
namespace {

void (*g_outOfMemoryReporter)() = nullptr;

}  // namespace

void SetOutOfMemoryReporter(void (*report)())
{
    g_outOfMemoryReporter = report;
}

bool ReportCaughtException() noexcept
{
    try {
        throw;
    } catch (const std::bad_alloc&) {
        try {
            if (g_outOfMemoryReporter) g_outOfMemoryReporter();
        } catch (...) {
            // The report itself ran out: nothing more can be done here.
        }
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace fw
