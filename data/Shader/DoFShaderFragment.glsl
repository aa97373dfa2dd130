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

float focusScale(float depth)
{
    float ndc = depth * 2.0 - 1.0;
    float distance = 2.0 * near_plane * far_plane / (far_plane + near_plane - ndc * (far_plane - near_plane));
    return (distance - near_plane) * 2.0 / (far_plane - near_plane) - 1.0;
}

// The same weight the layer separation gave the near layer. The depth texture
// repeats (it keeps the GL's default wrap), so taps past the border are held
// at the edge: otherwise a foreground along the bottom would cover the top.
float nearWeightOf(float f)
{
    float weight = 1.0 - smoothstep(range.x, range.y, f);
    return weight * weight;
}

float nearWeight(vec2 uv)
{
    vec2 halfTexel = 0.5 / vec2(textureSize(depthTexture, 0));
    uv = clamp(uv, halfTexel, 1.0 - halfTexel);
    return nearWeightOf(focusScale(texture(depthTexture, uv).r));
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

float nearCoverage(float centreWeight)
{
    vec2 reach = 3.0 / vec2(textureSize(nearTexture, 0));
    float sum = centreWeight;
    for (int k = 0; k < 8; ++k)
        sum += nearWeight(texCoord + reach * ring[k]);
    return sum / 9.0;
}

void main()
{
    vec3 sharp = texture(focusTexture, texCoord).rgb;
    float f = focusScale(texture(depthTexture, texCoord).r);
    float farAmount = smoothstep(range.z, range.w, f);
    vec3 color = mix(sharp, texture(farTexture, texCoord).rgb, farAmount);

    float centreWeight = nearWeightOf(f);
    float coverage = nearCoverage(centreWeight);
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
