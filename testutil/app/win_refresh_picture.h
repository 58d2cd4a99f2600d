#pragma once
#include <windows.h>

// The 20 x 17 refresh glyph of the registration-state button: a circular
// arrow, drawn rather than stored so that no picture file is shipped.
HBITMAP CreateRefreshPicture();
