#version 330 core
// Depth of field, step 1: splits the image into the two layers to be blurred.
// colorTexture (unit 0): the image so far. depthTexture (unit 1): the
//   scene's depth buffer. near_plane, far_plane: the clip planes that made it.
// range: focus limits on the scale f, a camera distance from 1 to 800 mapped
//   linearly onto -1..1: below x fully near-blurred, x..y fading to sharp,
//   y..z sharp, z..w fading to far-blurred, beyond w fully far-blurred.
// clear_color: what a layer holds where it has nothing (opaque black).
// fragColor (0): the near layer, premultiplied by its weight, so the blur
//   spreads foreground colour as much as it spreads the weight.
// farLayer (1): the far layer: the whole image. Keeping in-focus pixels in
//   it lets the far blur reach right up to a sharp object's edge without a
//   dark rim, at the price of a faint glow of the object over the blur.
uniform sampler2D colorTexture;
uniform sampler2D depthTexture;
uniform vec4 range;
uniform float near_plane;
uniform float far_plane;
uniform vec4 clear_color;

in vec2 texCoord;
layout(location = 0) out vec4 fragColor;
layout(location = 1) out vec4 farLayer;

// The camera distance of a depth-buffer value: one division.
float cameraDistance(float depth)
{
    return near_plane * far_plane / (far_plane - depth * (far_plane - near_plane));
}

void main()
{
    // Both inputs have this pass's own size: each texel is read whole,
    // without the four-texel filtering a read at its centre would pay for.
    ivec2 texel = ivec2(gl_FragCoord.xy);
    vec3 color = texelFetch(colorTexture, texel, 0).rgb;
    float distance = cameraDistance(texelFetch(depthTexture, texel, 0).r);
    // The x..y ramp on the scale f (a camera distance from near to far plane
    // mapped onto -1..1), as a scale and an offset on the distance itself.
    float perUnit = 2.0 / ((far_plane - near_plane) * (range.y - range.x));
    float offset = -(near_plane * 2.0 / (far_plane - near_plane) + 1.0 + range.x) / (range.y - range.x);
    float t = clamp(distance * perUnit + offset, 0.0, 1.0);
    // Squared, so that the near half of the x..y ramp carries most of the
    // blur and what stands just in front of the focus stays nearly sharp.
    float nearWeight = 1.0 - t * t * (3.0 - 2.0 * t);
    nearWeight *= nearWeight;
    fragColor = vec4(mix(clear_color.rgb, color, nearWeight), 1.0);
    farLayer = vec4(color, 1.0);
}
