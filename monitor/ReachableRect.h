#pragma once
#include <windows.h>

// The rectangle a window takes for the one it saved, so that it can always be reached. A
// rectangle without area takes szDefault at its place. One that then meets no monitor's
// work area keeps its size, cut to fit, and moves into the work area of the nearest
// monitor, as the platform's own placement does. Anything else stays as it is.
RECT ReachableRect(const RECT& rcSaved, SIZE szDefault);
