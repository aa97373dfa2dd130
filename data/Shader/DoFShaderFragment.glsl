#version 330 core
// Depth of field, step 2: composes the sharp image with the blurred layers.
// depthTexture (unit 0): the scene's depth. nearTexture (unit 1): the
//   blurred near layer (premultiplied). focusTexture (unit 2): the sharp
//   image. farTexture (unit 3): the blurred far layer.
// range, near_plane, far_plane: as in DoFLayerSeparationFragment.
// fragColor: the composed image, alpha 1.
uniform sampler2D depthTexture;
uniform sampler2D nearTexture;
uniform sampler2D focusTexture;
uniform sampler2D farTexture;
uniform vec4 range;
uniform float near_plane;
uniform float far_plane;

in vec2 texCoord;
out vec4 fragColor;

// The camera distance of a depth-buffer value: one division.
float cameraDistance(float depth)
{
    return near_plane * far_plane / (far_plane - depth * (far_plane - near_plane));
}

// A ramp between two limits on the scale f (a camera distance from near to
// far plane mapped onto -1..1), as a scale and an offset on the distance
// itself, so that each tap pays one multiply-add instead of two divisions.
vec2 distanceRamp(float from, float to)
{
    float perUnit = 2.0 / ((far_plane - near_plane) * (to - from));
    return vec2(perUnit, -(near_plane * 2.0 / (far_plane - near_plane) + 1.0 + from) / (to - from));
}

float rampAt(vec2 ramp, float distance)
{
    float t = clamp(distance * ramp.x + ramp.y, 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// The same weight the layer separation gave the near layer.
float nearWeightOf(vec2 nearRamp, float distance)
{
    float weight = 1.0 - rampAt(nearRamp, distance);
    return weight * weight;
}

// The depth texture repeats (it keeps the GL's default wrap), so taps past
// the border are held at the edge: otherwise a foreground along the bottom
// would cover the top.
float nearWeight(vec2 nearRamp, vec2 uv)
{
    vec2 halfTexel = 0.5 / vec2(textureSize(depthTexture, 0));
    uv = clamp(uv, halfTexel, 1.0 - halfTexel);
    return nearWeightOf(nearRamp, cameraDistance(texture(depthTexture, uv).r));
}

// The near layer's blurred coverage, gathered from the depth over about the
// footprint of its blur: the centre and a ring of eight taps at two thirds of
// the blur's radius, which matches the Gaussian's mean distance closely enough
// for a weight that is itself smooth. It lets a blurred foreground object
// spread over what lies behind it instead of ending at a sharp outline. The
// blur runs on the near layer's own texels (a radius of 4.4 at blurSize 0.3),
// so the ring sits three of them out whatever the render size; a reach in
// full-size pixels would cut the spread short on small targets and gather
// coverage the blur never reached on large ones.
// The centre's weight comes from the caller, which has read that depth already.
const vec2 ring[8] = vec2[](vec2(1.0, 0.0), vec2(0.7071068, 0.7071068), vec2(0.0, 1.0), vec2(-0.7071068, 0.7071068),
                            vec2(-1.0, 0.0), vec2(-0.7071068, -0.7071068), vec2(0.0, -1.0), vec2(0.7071068, -0.7071068));

// NEAR_RING_TEXELS: the ring's reach in the near layer's texels, defined by
// the program's builder where the blur is narrower in texels than that
// (a frame drawn smaller, with the blur scaled to reach as far across it).
#ifndef NEAR_RING_TEXELS
#define NEAR_RING_TEXELS 3.0
#endif

float nearCoverage(vec2 nearRamp, float centreWeight)
{
    vec2 reach = NEAR_RING_TEXELS / vec2(textureSize(nearTexture, 0));
    float sum = centreWeight;
    for (int k = 0; k < 8; ++k)
        sum += nearWeight(nearRamp, texCoord + reach * ring[k]);
    return sum / 9.0;
}

void main()
{
    // The sharp image and the depth have this pass's own size: their texels
    // are read whole, without the four-texel filtering a read at a texel's
    // centre would pay for nothing.
    ivec2 texel = ivec2(gl_FragCoord.xy);
    vec3 sharp = texelFetch(focusTexture, texel, 0).rgb;
    float distance = cameraDistance(texelFetch(depthTexture, texel, 0).r);
    vec2 nearRamp = distanceRamp(range.x, range.y);
    float farAmount = rampAt(distanceRamp(range.z, range.w), distance);
    vec3 color = mix(sharp, texture(farTexture, texCoord).rgb, farAmount);

    float centreWeight = nearWeightOf(nearRamp, distance);
    float coverage = nearCoverage(nearRamp, centreWeight);
    if (coverage > 0.002) {
        vec3 nearColor = texture(nearTexture, texCoord).rgb / coverage;
        // A blurred foreground edge is as transparent as its coverage, the way
        // a lens shows it, so the blurred object fades over what lies behind
        // it instead of ending in an outline.
        float amount = max(centreWeight, coverage);
        color = mix(color, clamp(nearColor, 0.0, 1.0), amount);
    }
    fragColor = vec4(color, 1.0);
}
