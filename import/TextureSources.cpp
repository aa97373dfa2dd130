// Finding each texture's images once and decoding them into the texture the viewer shows.
#include "import/TextureSources.h"

#include "base/Printable.h"
#include "image/ImageDecoder.h"

#include <memory>

namespace import {

namespace {

// A model's textures are drawn at a fraction of the render size; past 8192
// pixels a side an image only costs memory (a gigabyte for one 16384 square).
const ImageLimits modelImageLimits{16384, 1LL << 26};

// Raw texels, BGRA from the top row, as RGBA from the bottom row.
void flipRaw(const ImageSource& source, ModelImage& image)
{
    const size_t width = static_cast<size_t>(source.rawWidth);
    const size_t height = static_cast<size_t>(source.rawHeight);
    image.width = source.rawWidth;
    image.height = source.rawHeight;
    image.pixels.resize(4 * width * height);
    for (size_t row = 0; row < height; ++row) {
        const unsigned char* from = source.bytes.data() + 4 * width * (height - 1 - row);
        unsigned char* to = image.pixels.data() + 4 * width * row;
        for (size_t x = 0; x < width; ++x) {
            to[4 * x + 0] = from[4 * x + 2];
            to[4 * x + 1] = from[4 * x + 1];
            to[4 * x + 2] = from[4 * x + 0];
            to[4 * x + 3] = from[4 * x + 3];
        }
    }
}

std::string libraryFailure(const ImageFailure& failure)
{
    if (failure.conversion)
        return "its pixels cannot be converted to RGBA";
    if (!failure.reason.empty())
        return failure.reason;
    std::string reason = "the image library cannot decode it (error";
    for (unsigned code : failure.codes)
        reason += " " + std::to_string(code);
    return reason + ")";
}

// Decodes one image into `image`, or says why it cannot.
bool decodeImageSource(const ImageSource& source, const std::function<void(unsigned long long)>& onRead,
                       ModelImage& image, std::string& reason)
{
    if (source.rawWidth > 0) {
        flipRaw(source, image);
        return true;
    }
    ImageFailure failure;
    std::vector<unsigned char> fileBytes;
    const std::vector<unsigned char>* bytes = &source.bytes;
    if (source.embedded && source.bytes.empty()) {
        reason = "the model holds no image data for it";
        return false;
    }
    if (!source.embedded) {
        if (!readImageFile(source.path, fileBytes, failure)) {
            reason = failure.reason;
            return false;
        }
        onRead(fileBytes.size());
        bytes = &fileBytes;
    }
    DecodedImage decoded;
    const std::string& name = source.embedded ? source.embeddedName : source.path;
    if (!decodeImage(name, bytes->data(), bytes->size(), modelImageLimits, RowOrder::bottomUp, decoded, failure)) {
        reason = libraryFailure(failure);
        return false;
    }
    image.width = decoded.width;
    image.height = decoded.height;
    image.pixels.assign(decoded.pixels, decoded.pixels + 4 * static_cast<size_t>(decoded.width) * decoded.height);
    releaseDecodedImage();
    return true;
}

} // namespace

int TextureSources::add(const TextureRequest& request)
{
    TextureSource source;
    source.request = request;
    std::string key = std::to_string(static_cast<unsigned>(request.use)) + " " + std::to_string(request.bumpScale);
    std::string name;
    bool any = false;
    for (const std::string& named : request.names) {
        source.images.push_back(named.empty() ? ImageSource() : find(named));
        key += "\n" + (named.empty() ? std::string() : source.images.back().key());
        if (!named.empty())
            name += (any ? " + " : "") + source.images.back().name;
        any = any || !named.empty();
    }
    if (!any)
        return -1;
    const auto found = byKey.find(key);
    if (found != byKey.end())
        return found->second;
    source.texture.name = name;
    source.texture.space = request.space();
    const int index = static_cast<int>(sources.size());
    byKey[key] = index;
    sources.push_back(std::move(source));
    return index;
}

bool decodeSource(TextureSource& source, const std::function<void(unsigned long long)>& onRead, ModelImage& image,
                  std::string& reason)
{
    std::vector<std::unique_ptr<ModelImage>> decoded;
    std::vector<const ModelImage*> inputs;
    for (size_t i = 0; i < source.images.size(); ++i) {
        ImageSource& input = source.images[i];
        const bool named = i < source.request.names.size() && !source.request.names[i].empty();
        decoded.push_back(named ? std::make_unique<ModelImage>() : nullptr);
        if (named && !decodeImageSource(input, onRead, *decoded.back(), reason)) {
            if (source.images.size() > 1)
                reason = input.name + ": " + reason;
            return false;
        }
        input.bytes.clear();
        input.bytes.shrink_to_fit();
        inputs.push_back(decoded.back().get());
    }
    return makeTexture(source.request, inputs, image, reason);
}

} // namespace import
