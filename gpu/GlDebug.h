// The driver's own messages (KHR_debug), for --gl-debug.
#pragma once

// Asks the current context, which must have been made with the debug flag,
// to report every message to standard error as it happens: its source, type,
// severity and text, one line each. A marker message goes through first, so
// that a run shows the channel works. False, with a line saying so, where
// the GL has no debug output.
bool enableGlDebugOutput();
