// Draw pacing: pieces, one fence outstanding.
#include "gpu/DrawPacing.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr size_t wholeDraws = 0;
constexpr GLuint64 fenceWaitNanoseconds = 5'000'000'000ULL;

GLsync pending = nullptr;

bool softwareRasterizer()
{
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return renderer != nullptr && (std::strstr(renderer, "llvmpipe") != nullptr ||
                                   std::strstr(renderer, "softpipe") != nullptr);
}

// The piece, and the longest draw that still goes whole.
struct Pacing {
    size_t piece = wholeDraws;
    size_t whole = 0;
};

const Pacing& pacing()
{
    static const Pacing chosen = [] {
        Pacing made;
        if (const char* set = std::getenv("BRASSFERN_DRAW_PIECES")) {
            char* end = nullptr;
            const unsigned long long value = std::strtoull(set, &end, 10);
            if (end != set && *end == '\0') {
                made.piece = static_cast<size_t>(value);
                made.whole = made.piece;
                return made;
            }
        }
        if (softwareRasterizer()) {
            made.piece = softwarePiece;
            made.whole = wholeUpTo;
        }
        return made;
    }();
    return chosen;
}

} // namespace

void drawElementsInPieces(GLenum mode, size_t count, unsigned perPrimitive)
{
    const size_t piece = pacing().piece;
    if (piece == wholeDraws || count / perPrimitive <= pacing().whole) {
        glDrawElements(mode, static_cast<GLsizei>(count), GL_UNSIGNED_INT, nullptr);
        return;
    }
    for (size_t at = 0; at < count; at += piece * perPrimitive) {
        const size_t now = std::min(piece * perPrimitive, count - at);
        glDrawElements(mode, static_cast<GLsizei>(now), GL_UNSIGNED_INT,
                       reinterpret_cast<const void*>(at * sizeof(GLuint)));
        GLsync fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        glFlush();
        // A fence of a context that has ended is no longer one.
        if (pending != nullptr && glIsSync(pending)) {
            glClientWaitSync(pending, 0, fenceWaitNanoseconds);
            glDeleteSync(pending);
        }
        pending = fence;
    }
}

void endDrawPacing()
{
    if (pending != nullptr && glIsSync(pending))
        glDeleteSync(pending);
    pending = nullptr;
}
