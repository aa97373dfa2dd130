// Big draws in pieces on software rasterizers, so that the work queued ahead of the pixels stays small.
#pragma once

#include <GL/glew.h>
#include <cstddef>

// Mesa's software rasterizers bin a scene's primitives ahead of the threads
// that fill its pixels, several scenes deep: a frame of two million
// triangles queued about 170 MB of binned work, a peak that outgrew the
// model itself. There a big draw goes in pieces, and each piece waits (on
// a fence) for the one before it to be drawn, so that one piece is queued
// while the next is binned: the same pixels, a tenth of the memory, and no
// time lost (the rasterizer threads always have a piece to work on). Draws
// of up to `wholeUpTo` primitives go whole: the built-in scene's biggest
// meshes lost a tenth of the geometry pass to the waits between pieces.
// Elsewhere every draw goes whole.
//
// The piece size in primitives: BRASSFERN_DRAW_PIECES when set (0 draws
// whole on any driver, so that both ways can be compared; with it set, any
// draw longer than a piece is cut), otherwise `softwarePiece` on a software
// rasterizer and whole draws on any other.
constexpr size_t softwarePiece = 32768;
constexpr size_t wholeUpTo = 262144;

// glDrawElements of `count` unsigned-int indices from the start of the bound
// element buffer, `perPrimitive` indices a primitive (1, 2 or 3).
void drawElementsInPieces(GLenum mode, size_t count, unsigned perPrimitive);

// Forgets the fence of a context about to end.
void endDrawPacing();
