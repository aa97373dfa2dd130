#version 330 core
// Bloom, step 1: the bright part of the image at an eighth of its size.
// colorTexture (unit 0): the full-size image.
// threshold: the luminance (Rec. 709 weights) where the glow starts.
// fragColor: the colour weighted by how far its luminance rises above the
//   threshold, relative to the headroom above it (white gives full colour),
//   alpha 1.
// Built with LINEAR_SOURCE (a model given by path), colorTexture holds the
// frame's linear radiance before its tone curve, and threshold is in those
// units: only what rises past it glows (emission, highlights), whatever
// the tone curve makes of it, and the weight grows without a ceiling
// toward full colour. The peak channel, not the luminance, is measured, so
// that a saturated blue or red emission glows as a white one does.
uniform sampler2D colorTexture;
uniform float threshold;

in vec2 texCoord;
out vec4 fragColor;

// Soft knee: the glow fades in over this luminance band instead of
// switching on, so surfaces near the threshold do not pop.
const float knee = 0.15;

void main()
{
    // Average the whole 8 x 8 block each target pixel covers (16 bilinear
    // taps of 2 x 2): one tap would skip most pixels, and small highlights
    // would flicker in and out as the camera moves.
    vec2 source = 1.0 / vec2(textureSize(colorTexture, 0));
    vec3 color = vec3(0.0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            color += texture(colorTexture, texCoord + source * vec2(float(x) * 2.0 - 3.0, float(y) * 2.0 - 3.0)).rgb;
    color /= 16.0;

#ifdef LINEAR_SOURCE
    float peak = max(color.r, max(color.g, color.b));
    float soft = clamp(peak - threshold + knee, 0.0, 2.0 * knee);
    soft = soft * soft / (4.0 * knee);
    float excess = max(soft, peak - threshold);
    fragColor = vec4(color / max(peak, 1e-4) * (excess / (1.0 + excess)), 1.0);
#else
    float luminance = dot(color, vec3(0.2126, 0.7152, 0.0722));
    float soft = clamp(luminance - threshold + knee, 0.0, 2.0 * knee);
    soft = soft * soft / (4.0 * knee);
    float excess = max(soft, luminance - threshold);
    // In an 8-bit image the headroom above the threshold is all there is, so
    // the weight is measured against it rather than against infinity.
    float weight = clamp(excess / (1.0 - threshold), 0.0, 1.0);
    fragColor = vec4(color * weight, 1.0);
#endif
}
