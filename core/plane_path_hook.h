// Where the peer positions go for the plane path view above: the application
// registers it; until then a point goes nowhere. Any thread.
#pragma once

using PlanePathHook = void (*)(double longitude, double latitude, bool onlyWhenShown);

void SetPlanePathHook(PlanePathHook hook);
void PlanePathPoint(double longitude, double latitude, bool onlyWhenShown);
