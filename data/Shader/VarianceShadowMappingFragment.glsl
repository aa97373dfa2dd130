#version 330 core
// Moments pass: turns the light's depth into the three channels of the
// filterable shadow map (an RGB texture with 8 bits per channel, blurred
// linearly afterwards).
// shadowMap (unit 0): the light's depth texture, [0, 1] over the light box's
//   LIGHT_BOX_DEPTH units (100; orthographic, so depth is linear in
//   distance).
// texCoord: [0, 1] position in the map.
// fragColor, what the channels hold:
//   r = depth itself, coarse: 8 bits resolve only 0.4 units;
//   g = the depth's position inside one of SHADOW_BAND_COUNT (16) equal depth
//   bands, [0, 1);
//   b = the same for bands shifted by half a band.
//
// Why not depth and depth squared, as variance maps usually store: every blur
// pass rounds its output to 1/255, and the variance E[d^2] - E[d]^2 taken
// from two such channels is off by about 1/255 of the squared range, a
// standard deviation of 4 units of the scene. That either floods shadows with
// light or needs a bias that lifts every shadow off its caster. Instead the
// map keeps the first moment at 16 x 255 steps (0.025 units): g and b are
// linear in depth inside their bands, so their blurred averages are the
// blurred depth as long as the blur footprint stays inside a band; every depth
// sits at least a quarter band from an edge in g or in b, and r says which one
// to trust and which band it is. The soft edge then comes from the blurred
// mean sliding from the caster's depth to the receiver's; where that slide
// spans bands (tall casters), r alone follows it (see basicFragment).
uniform sampler2D shadowMap;

in vec2 texCoord;
out vec4 fragColor;

// LIGHT_BOX_DEPTH and SHADOW_BAND_COUNT come from the program's loader, the
// same numbers the light's C++ side uses.
const float bandCount = SHADOW_BAND_COUNT;

void main()
{
    float depth = texture(shadowMap, texCoord).r;
    float band = depth * bandCount;
    fragColor = vec4(depth, fract(band), fract(band + 0.5), 1.0);
}
