// Requests a strict GL driver may refuse, and the nearest request every OpenGL 3.3 driver takes.
#pragma once

enum class Fallback {
    // A context that drops what 3.3 only deprecates: macOS grants no other.
    forwardCompatible,
    // The shadow map's target without a read buffer: strict drivers call a
    // framebuffer without colour incomplete while it reads one.
    readBufferNone,
    // Render targets in formats every driver must render to (GL_RGBA8,
    // GL_RGBA32F) instead of three-channel ones (GL_RGB, GL_RGB32F).
    rgbaTargets,
    // A framebuffer twice the window's size, as high-density screens give:
    // pictures and the final pass take the framebuffer's size.
    framebufferScale,
};

// Whether `fallback` is taken even where the driver accepts the first
// request, so that each can be checked on any driver: the environment
// variable BRASSFERN_FORCE_FALLBACKS lists them, comma-separated, as
// forward-compatible, read-buffer, rgba-targets and framebuffer-scale.
bool fallbackForced(Fallback fallback);

// Says on standard error, once for each, that `fallback` was taken and why.
void reportFallback(Fallback fallback, const char* why);
