// The driver's own messages (KHR_debug), for --gl-debug, and the GL errors the frame loop polls.
#pragma once

// Asks the current context, which must have been made with the debug flag,
// to report every message to standard error as it happens: its source, type,
// severity and text, one line each. A marker message goes through first, so
// that a run shows the channel works. False, with a line saying so, where
// the GL has no debug output.
bool enableGlDebugOutput();

// Polls one pending GL error and prints it when it is one of the known codes.
void reportGlError();
