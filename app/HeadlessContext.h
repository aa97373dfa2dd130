// A GL context with no window system at all, for pictures drawn where no display can be opened.
#pragma once

#include <string>

// Makes a 3.3 core context current through EGL on Mesa's surfaceless
// platform, or else on the first EGL device: no display server, no window,
// no surface (a 1 x 1 pbuffer where the driver wants one). Everything is
// drawn into framebuffer objects. False, with the reason in `reason`, when
// neither platform gives one.
bool openHeadlessContext(bool debugContext, std::string& reason);

// Whether the context current is the one above.
bool headlessContextOpen();

// Whether the context current, the one above, draws as fast as a window's
// on this machine would: it is on a GPU, or it is software (Mesa's) on a
// machine with no GPU to render on, where a display's GL is software too.
bool headlessDrawsAsFast();

// Releases the context and its display; nothing when none is open.
void closeHeadlessContext();
