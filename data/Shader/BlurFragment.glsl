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

    vec3 sum = vec3(0.0);
    float weightSum = 0.0;
    for (int i = -taps; i <= taps; ++i) {
        float x = float(i) / float(taps);
        // Gaussian with sigma = radius / 2, cut at 2 sigma.
        float weight = exp(-2.0 * x * x);
        sum += weight * texture(colorTexture, texCoord + float(i) * stepUv).rgb;
        weightSum += weight;
    }
    fragColor = vec4(sum / weightSum, 1.0);
}
