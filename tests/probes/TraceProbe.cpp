// The trace sink as the release build has it (compiled without PLUGSTART_TRACE): writes two
// lines through it and exits 1 when it says the trace is on, 0 when off.
#include "framework/Trace.h"

int main()
{
    plug::Trace(L"probe: first\r\n", true);
    plug::Trace(L"probe: second\r\n");
    return plug::IsTraceOn() ? 1 : 0;
}
