#version 330 core
// One axis of a separable Gaussian blur, shared by the shadow map and the
// three screen-space effects.
// colorTexture (unit 0): the source, any size; sampled with linear
//   filtering, so a larger source is downsampled on the way.
// blurSize: the blur's strength as the effects give it; the program's
//   builder turns it into BLUR_RADIUS and BLUR_TAPS below, so it is not read
//   here.
// blurDirection: the axis, from the vertex stage.
// fragColor: the blurred colour, alpha 1.
//
// Every channel is blurred with the same linear weights: the shadow map's
// encoding relies on that, since a weighted average of its channels must
// decode to the weighted average of the depths.
uniform sampler2D colorTexture;
uniform float blurSize;

in vec2 texCoord;
flat in vec2 blurDirection;
out vec4 fragColor;

// Defined by the program's builder, at compile time so that the loop
// unrolls, the weights fold into constants and nothing branches:
// BLUR_RADIUS: the radius in target pixels, 8 sqrt(blurSize), at least 0.5.
//   The square root lets one parameter span the few texels that soften
//   shadow edges (0.2: 3.6 texels), the occlusion noise (0.07: 2.1 pixels at
//   half size), the depth of field (0.3: 4.4 pixels at quarter size, 18 at
//   full size) and a bloom glow (1.0: 8 pixels at eighth size) without
//   washing the glow out.
// BLUR_TAPS: the taps on each side of the centre, the radius rounded down
//   (1 to 12).
// BLUR_SOURCE_LARGER: 1 where the source is larger than the target.

void main()
{
    // The size of one target pixel in texture space, without a uniform:
    // texCoord spans [0, 1] across whatever target is bound.
    vec2 targetTexel = vec2(abs(dFdx(texCoord.x)), abs(dFdy(texCoord.y)));
    const float radius = BLUR_RADIUS;
    // Taps one target pixel apart, out to the radius: a Gaussian with
    // sigma = radius / 2, cut at 2 sigma, so a tap at d pixels weighs
    // exp(-2 (d / radius)^2). The weights come by recurrence, one exponential
    // a pixel instead of one a tap: w(d + 1) = w(d) r(d), r(d + 1) = r(d) a^2.
    const int taps = BLUR_TAPS;
    vec2 stepUv = blurDirection * targetTexel;
    float a = exp(-2.0 / (radius * radius));

    vec3 sum = texture(colorTexture, texCoord).rgb;
    float weightSum = 1.0;
    float weight = 1.0;
    float ratio = a;
    // A source of the target's own size lets linear filtering read two
    // neighbouring taps in one fetch, placed between them by their weights.
    // A larger source is being downsampled: there every tap lands on a
    // corner between source texels and averages them, so each stays its own
    // fetch (this also keeps the occlusion's two-by-two interleaving whole).
#if BLUR_SOURCE_LARGER
    for (int d = 1; d <= taps; ++d) {
        weight *= ratio;
        ratio *= a * a;
        vec2 offset = float(d) * stepUv;
        sum += weight * (texture(colorTexture, texCoord - offset).rgb + texture(colorTexture, texCoord + offset).rgb);
        weightSum += 2.0 * weight;
    }
#else
    for (int d = 1; d <= taps; d += 2) {
        weight *= ratio;
        ratio *= a * a;
        float near = weight;
        float far = 0.0;
        if (d + 1 <= taps) {
            weight *= ratio;
            ratio *= a * a;
            far = weight;
        }
        float pair = near + far;
        vec2 offset = (float(d) + far / pair) * stepUv;
        sum += pair * (texture(colorTexture, texCoord - offset).rgb + texture(colorTexture, texCoord + offset).rgb);
        weightSum += 2.0 * pair;
    }
#endif
    fragColor = vec4(sum / weightSum, 1.0);
}
