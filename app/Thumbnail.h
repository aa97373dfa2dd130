// Thumbnails: a picture fitted within N x N in the model's aspect, drawn supersampled, its backdrop optionally transparent.
#pragma once

#include "import/ImportProcess.h"

#include <string>
#include <vector>

// A thumbnail's import: file managers ask for one for every file in a
// folder, unattended, several at once, and give up on slow ones; a file
// that needs more than this is no file to preview. 5 s plus 0.5 s per
// megabyte read, and 512 MiB plus four times the bytes read, never more
// than a quarter of the memory available (half the viewer's cap).
import::ImportBudget thumbnailBudget();

// The side of the square a thumbnail of `size` is drawn at: twice its size,
// so that each of its pixels is the mean of four or more.
int thumbnailDrawSide(int size);

// After the context opens, before the renderer is made: the render size is
// the square drawn, not the settings' (a 256-pixel thumbnail has no use for
// 1920 x 1080), and the shadow map no larger than the square, nor smaller
// than 512 texels a side (the settings' size where that is smaller).
void fitRenderToThumbnail(int side);

// Render pixels a side for each picture pixel of a model's --output: the
// final pass's linear filter then blends the two by two around each, so
// edges keep a step of smoothing. Every pass but the shadow's scales with
// the render's pixels, and a small model's first picture is mostly the first
// frame: 1.5 took a tenth longer to the saved picture for no edge the eye
// tells apart (49 dB between the two), and 1.0 left stair-steps on curved
// silhouettes.
constexpr float pictureRenderScale = 1.25f;

// After the context opens, before the renderer is made, for a model's
// picture drawn with the viewer's own settings (no --settings): the render
// size is pictureRenderScale times the picture's, within what the GL can
// draw.
void fitRenderToPicture();

// A picture in memory: `channels` bytes a pixel, rows bottom-up as the GL reads them.
struct PixelBlock {
    int width = 0;
    int height = 0;
    int channels = 4;
    std::vector<unsigned char> pixels;
};

// The part of a picture that a thumbnail keeps, in pixels.
struct CropBox {
    int left = 0;
    int bottom = 0;
    int width = 0;
    int height = 0;
};

// `box` grown by `margin` of its longer side on each side, within `width` x `height`.
CropBox withMargin(CropBox box, double margin, int width, int height);

// The box of the pixels whose coverage (`alpha`, 0 to 255) is not 0; the whole picture when none is.
CropBox coveredBox(const PixelBlock& picture);

// `box` of `picture` scaled to fit within `size` x `size`, its aspect kept.
// Each pixel is the area-weighted mean of those it covers, their colours
// weighted by their coverage, so that the backdrop left out of a
// transparent picture leaves no fringe at the model's edge.
PixelBlock fitWithin(const PixelBlock& picture, const CropBox& box, int size);

// Reads the frame just drawn and, for a positive `size`, crops it to the
// model with a margin and fits it within `size`; writes it to `path`: RGB,
// or RGBA with the background transparent (where the geometry pass drew
// nothing) when `transparent`. False, with the reason, when it cannot be written.
bool saveFittedPicture(const std::string& path, int size, bool transparent, std::string* reason);
