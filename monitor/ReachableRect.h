#pragma once
#include <windows.h>

// The rectangle a window takes for the one it saved, so that it can always be reached. A
// rectangle without area takes szDefault at its place. One that then meets no monitor's
// work area keeps its size, cut to fit, and moves into the work area of the nearest
// monitor, as the platform's own placement does. Anything else stays as it is.
RECT ReachableRect(const RECT& rcSaved, SIZE szDefault);

// The arithmetic of it, apart from the monitors. The saved rectangle, or one of szDefault
// at its place when it has no area (moved back from the largest coordinates as far as the
// size needs).
RECT SizedRect(const RECT& rcSaved, SIZE szDefault);
// The rectangle moved into the work area, cut to fit where it is larger.
RECT PlacedInWorkArea(const RECT& rc, const RECT& work);
