// Where the images of a model's textures come from, each texture once, and their decoding in the import process.
#pragma once

#include "import/ModelData.h"
#include "import/TextureRecipe.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace import {

// Where one image's bytes come from: a file beside the model, or bytes the
// model carries (copied, for the imported scene is gone by the time they
// are decoded).
struct ImageSource {
    std::string name;                  // for messages
    std::string path;                  // a file, when not embedded
    bool embedded = false;
    std::string embeddedName;          // for the format's extension
    std::vector<unsigned char> bytes;  // an encoded image
    int rawWidth = 0;                  // or raw texels, BGRA, the top row first
    int rawHeight = 0;

    // The same image is the same key, however materials name it.
    std::string key() const { return embedded ? "*" + embeddedName : path; }
};

// A texture as it is sent, with the images it is made of (one for each of
// its request's names, empty where the name is "").
struct TextureSource {
    ModelTexture texture;
    TextureRequest request;
    std::vector<ImageSource> images;
};

// The textures a model's materials name, each made once however many
// materials (or slots of one material) ask for it.
class TextureSources {
public:
    // `find` turns a name as the model gives it into its image's source.
    explicit TextureSources(std::function<ImageSource(const std::string&)> find) : find(std::move(find)) {}

    // The index of the texture `request` asks for, added if it is new; -1
    // when it names no image at all.
    int add(const TextureRequest& request);

    std::vector<TextureSource> sources;

private:
    std::function<ImageSource(const std::string&)> find;
    std::map<std::string, int> byKey;
};

// Decodes the images of `source` and makes its texture, or says why it
// cannot. `onRead` hears the bytes of every file read. The encoded bytes
// are released as they are decoded.
bool decodeSource(TextureSource& source, const std::function<void(unsigned long long)>& onRead, ModelImage& image,
                  std::string& reason);

} // namespace import
