#version 330 core
// One axis of a separable Gaussian blur, shared by the shadow map and the
// three screen-space effects.
// colorTexture (unit 0): the source, any size; sampled with linear
//   filtering, so a larger source is downsampled on the way.
// blurSize: sets the radius in target pixels, 8 x sqrt(blurSize). The square
//   root lets one parameter span the few texels that soften shadow edges
//   (0.2: 3.6 texels), the occlusion noise (0.07: 2.1 pixels at half size),
//   the depth of field (0.3: 4.4 pixels at quarter size, 18 at full size) and
//   a bloom glow (1.0: 8 pixels at eighth size) without washing the glow out.
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

const int maxTaps = 12;

void main()
{
    // The size of one target pixel in texture space, without a uniform:
    // texCoord spans [0, 1] across whatever target is bound.
    vec2 targetTexel = vec2(abs(dFdx(texCoord.x)), abs(dFdy(texCoord.y)));
    float radius = max(8.0 * sqrt(blurSize), 0.5);
    // Taps at most about a pixel apart, so no ghost copies appear between
    // them; linear filtering fills the gaps.
    int taps = int(clamp(ceil(radius), 1.0, float(maxTaps)));
    vec2 stepUv = blurDirection * targetTexel * (radius / float(taps));

    // Gaussian with sigma = radius / 2, cut at 2 sigma: tap i weighs
    // exp(-2 (i / taps)^2) = a^(i^2). The weights come by recurrence, one
    // exponential a pixel instead of one a tap, and the two taps at +-i share
    // theirs.
    float a = exp(-2.0 / float(taps * taps));
    float weight = 1.0;
    float ratio = a;
    vec3 sum = texture(colorTexture, texCoord).rgb;
    float weightSum = 1.0;
    for (int i = 1; i <= taps; ++i) {
        weight *= ratio;
        ratio *= a * a;
        vec2 offset = float(i) * stepUv;
        sum += weight * (texture(colorTexture, texCoord - offset).rgb + texture(colorTexture, texCoord + offset).rgb);
        weightSum += 2.0 * weight;
    }
    fragColor = vec4(sum / weightSum, 1.0);
}
