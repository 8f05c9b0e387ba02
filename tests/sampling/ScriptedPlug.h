#pragma once
// A stand-in for the sensor library, built as a DLL like the real one: its QRVLPLUG answers
// Get from a script and records every call, so that the sampling worker can be driven and
// watched from a test.
#include <windows.h>

#include "QRVLPLUG.h"

#if defined(QRVLPLUG_BUILDING_DLL)
#  define SCRIPTED_API __declspec(dllexport)
#else
#  define SCRIPTED_API __declspec(dllimport)
#endif

namespace scripted {

enum class Answer {
    Reading,  // fills the record and succeeds at once
    Failure,  // fails at once
    Hang,     // no answer: fails when the time-out has passed or at once on Cancel
};

struct Step {
    Answer answer;
    LMDATA data;
};

struct GetCall {
    double startMs;  // on the clock of NowMs
    double endMs;    // negative while the call runs
    unsigned timeout;
    int result;
};

// Clears what was recorded and the cancellation and sets the script; its last step
// repeats once the script has run out.
SCRIPTED_API void SetScript(const Step* steps, int count);
// Milliseconds since the last SetScript.
SCRIPTED_API double NowMs();
SCRIPTED_API int GetCallCount();
SCRIPTED_API GetCall GetCallAt(int index);
SCRIPTED_API int CancelCount();
// Calls of Destroy that came while a Get was running, and calls of Get after a Destroy.
SCRIPTED_API int OutOfOrderCalls();

}  // namespace scripted
