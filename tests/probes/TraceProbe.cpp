// The trace sink as the release build has it (compiled without PLUGSTART_TRACE): writes three
// texts through it (the first begins a new trace, the second has no line end) and a moment, and
// exits 1 when it says the trace is on, 0 when off.
#include "framework/Trace.h"

int main()
{
    plug::Trace(L"probe: first\r\n", true);
    plug::Trace(L"probe: open");
    plug::TraceMoment(L"probe");
    plug::Trace(L"probe: second\r\n");
    return plug::IsTraceOn() ? 1 : 0;
}
