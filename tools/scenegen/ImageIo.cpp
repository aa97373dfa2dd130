// Writing generated images to disk through DevIL, the same library the viewer reads them with.
#include "ImageIo.h"

#include "base/Printable.h"

#include <IL/il.h>

#include <cstdio>

namespace scenegen {

void initImageIo()
{
    ilInit();
    ilEnable(IL_FILE_OVERWRITE);
}

bool saveJpeg(const Image& image, const std::string& path, int quality)
{
    std::vector<uint8_t> bytes = image.toRgb8();
    ILuint handle = 0;
    ilGenImages(1, &handle);
    ilBindImage(handle);
    bool ok = ilTexImage(ILuint(image.width()), ILuint(image.height()), 1, 3, IL_RGB, IL_UNSIGNED_BYTE, bytes.data()) == IL_TRUE;
    // ilTexImage tags the data lower-left, which makes the JPEG writer flip it. Our row 0 must be
    // the file's first row, because that is the row DevIL hands the viewer first on load.
    if (ok)
        ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT);
    // DevIL ignores qualities it does not accept (anything above 99) and silently keeps the last
    // one, so make sure ours took.
    ilSetInteger(IL_JPG_QUALITY, quality);
    if (ilGetInteger(IL_JPG_QUALITY) != quality) {
        std::fprintf(stderr, "scenegen: DevIL rejected JPEG quality %d for %s\n", quality, printable(path).c_str());
        ok = false;
    }
    ok = ok && ilSaveImage(path.c_str()) == IL_TRUE;
    if (!ok)
        std::fprintf(stderr, "scenegen: could not write %s (DevIL error 0x%x)\n", printable(path).c_str(),
                     unsigned(ilGetError()));
    ilDeleteImages(1, &handle);
    return ok;
}

} // namespace scenegen
