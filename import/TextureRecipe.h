// What the import makes of the images a material names: each texture's use, and the texels it is made into.
#pragma once

#include "import/ModelData.h"

#include <string>
#include <vector>

namespace import {

enum class TextureUse : unsigned {
    colour,     // a base colour or an emission: the image as it is, read as sRGB
    data,       // an occlusion map: the image as it is, read as numbers
    normal,     // a normal map, or a height map (grey texels alone) made into one
    metalRough, // glTF's packed image: occlusion, roughness and metalness kept, alpha made full
    surface,    // up to three images of one number each, packed: roughness, metalness, specular weight
    // A base colour and the opacity map that goes with it (OBJ's map_Kd
    // and map_d): the colour image's RGB, white where there is none, and
    // the opacity map's alpha, or its grey where its alpha is full.
    colourOpacity,
};

// A texture a material asks for, before its images are found.
struct TextureRequest {
    TextureUse use = TextureUse::colour;
    // The images as the model names them: one, or for `surface` three (the
    // roughness, metalness and specular maps), "" for those it lacks.
    std::vector<std::string> names;
    // For `normal`: how steep a height map's slopes are made (see
    // normalsFromHeights); a normal map's own scale is the material's.
    float bumpScale = 1.0f;

    ColourSpace space() const
    {
        return use == TextureUse::colour || use == TextureUse::colourOpacity ? ColourSpace::srgb : ColourSpace::linear;
    }
};

// Whether every texel of `image` (but a few in a hundred) is grey: a
// height map, which a normal map (blue, never grey) cannot be.
bool isHeightMap(const ModelImage& image);

// The normal map of the height map `heights` (its red channel, 0 low, 255
// high), the texture taken to repeat: a rise from 0 to 255 over a 32nd of
// the image's width leans the surface 45 degrees at `scale` 1.
ModelImage normalsFromHeights(const ModelImage& heights, float scale);

// The surface texture of up to three one-number maps (null where there is
// none, each taken as the mean of its red, green and blue): roughness into
// green, metalness into blue, specular weight into alpha, full where a map
// is missing, and red (occlusion) full. As large as the largest map; the
// others are read at their nearest texel.
ModelImage packSurface(const ModelImage* roughness, const ModelImage* metalness, const ModelImage* specular);

// The colour `colour` (white where null) with the opacity of `opacity` in
// alpha, as large as the larger; the other is read at its nearest texel.
ModelImage withOpacity(const ModelImage* colour, const ModelImage& opacity);
// Alpha made full, which the lighting reads as specular weight: glTF's
// metallic-roughness images leave their alpha to chance.
void makeOpaque(ModelImage& image);

// The texture `request` asks for, made from its images as decoded (in the
// order of its names, null for a name that is ""). False, with the reason,
// when they cannot make it.
bool makeTexture(const TextureRequest& request, const std::vector<const ModelImage*>& images, ModelImage& out,
                 std::string& reason);

} // namespace import
