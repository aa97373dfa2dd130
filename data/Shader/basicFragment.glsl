#version 330 core
// Scene pass fragment stage: a textured surface lit by the directional light,
// shadowed through the filtered shadow map, written to the geometry buffers.
// colorTexture (unit 0): the material's colour. shadowMap (unit 1): the
//   blurred shadow map (channels as VarianceShadowMappingFragment writes them).
// ambientFactor, diffuseFactor, specularFactor, shininess: the material's
//   lighting constants; lightColor, lightIntensity: the light's colour and
//   strength. The light's direction arrives from the vertex stage in camera
//   space: the lighting is done there, where the position and normal that
//   the geometry buffers need are already interpolated.
// cameraPosition, near_plane, far_plane: unused here (the eye is the origin
//   of camera space).
// In the program of a model given by path (MODEL_SURFACES) the colour
// texture is tinted by the vertex colour, back faces (drawn only for
// two-sided surfaces) are lit as seen, and points and lines, which have no
// normal, face the eye.
// Built with GROUND_PLANE, it draws the ground under a model given by path:
// a plain grey with a faint grid, lit and shadowed like the model, its alpha
// falling to 0 toward the edge of the disc it covers so that it blends into
// the backdrop. texCoord then runs from -1 to 1 across that disc;
// groundFade: where the fade starts and ends, in those units; gridCells:
// grid lines from the centre to the edge.
// Outputs: fragColor (0) the shaded colour; viewNormalOut (1) the camera-space
//   unit normal; viewPositionOut (2) the camera-space position. All with
//   alpha 1, because blending is on while this pass draws.
uniform sampler2D colorTexture;
uniform sampler2D shadowMap;
uniform vec3 ambientFactor;
uniform vec3 diffuseFactor;
uniform vec3 specularFactor;
uniform float shininess;
uniform vec3 lightColor;
uniform float lightIntensity;
#ifdef GROUND_PLANE
uniform vec2 groundFade;
uniform float gridCells;
#endif

in vec3 viewPosition;
in vec3 viewNormal;
in vec2 texCoord;
in vec3 shadowCoord;
flat in vec3 viewToLight;
flat in vec3 viewUp;
#ifdef MODEL_SURFACES
in vec3 vertexColour;
#endif

layout(location = 0) out vec4 fragColor;
layout(location = 1) out vec4 viewNormalOut;
layout(location = 2) out vec4 viewPositionOut;

// Both from the program's loader, the numbers the light's C++ side uses: the
// moments shader's band count and the light box's depth in units.
const float bandCount = SHADOW_BAND_COUNT;
const float depthRangeUnits = LIGHT_BOX_DEPTH;
// Receivers up to this far behind the blurred caster depth count as lit: the
// decoded mean is good to 0.03 units, the rest covers curved surfaces.
const float biasUnits = 0.12;
// How far behind the fine mean a receiver must be to be fully dark.
const float softnessUnits = 0.6;
// The coarse channel's test: it starts above that channel's error (three
// roundings to 1/255 of the light box's depth, up to about 0.5 units) and
// ramps over several units.
const float coarseStartUnits = 0.5;
const float coarseFullUnits = 2.5;

// smoothstep(start, start + width, x) for a width known when compiling: a
// multiply where the built-in divides by the width it is given.
float rampUp(float x, float start, float width)
{
    float t = clamp((x - start) * (1.0 / width), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// The blurred mean depth from the three channels: the fine channel whose
// bands keep this depth away from their edges, placed in the band that the
// coarse channel names. `trust` falls from 1 to 0 as that fine value
// disagrees with the coarse one, which happens where the blur mixed depths
// from different bands (near tall silhouettes): such a mean is pulled toward
// one band by up to the band's width.
float fineMeanDepth(vec3 moments, out float trust)
{
    float coarse = moments.r * bandCount;
    float position = fract(coarse);
    float depth;
    if (abs(position - 0.5) < 0.25)
        depth = floor(coarse - moments.g + 0.5) + moments.g;
    else
        depth = floor(coarse - moments.b + 1.0) + moments.b - 0.5;
    depth /= bandCount;
    trust = 1.0 - rampUp(abs(depth - moments.r), 1.0 / 255.0, 1.5 / 255.0);
    return depth;
}

// Two tests on the blurred mean, the darker one wins. The fine one is exact
// where the blur kept to nearby depths: its tight window gives contact
// shadows and thin casters their full strength without acne. Across the
// penumbra of a tall caster the receiver is far behind the caster, the blur
// mixes the two, and the mean slides between them as the caster's share
// grows. A tight test would flip in the first few percent of that slide, and
// right where the fine mean stops being trusted, so the edge would be hard and
// trace the map's texels. The coarse channel is never biased by the mixing;
// its wide window spreads the edge over the slide, as soft as the blur made
// it, and takes over smoothly as the fine mean loses trust.
float visibility(vec3 normal, vec3 toLight)
{
    vec3 coord = shadowCoord;
    // Outside the light box nothing was drawn into the map: lit.
    if (any(lessThan(coord, vec3(0.0))) || any(greaterThan(coord, vec3(1.0))))
        return 1.0;
    vec3 moments = texture(shadowMap, coord.xy).rgb;
    float trust;
    float mean = fineMeanDepth(moments, trust);
    // Grazing surfaces change depth fastest across one texel of the map.
    float cosine = clamp(dot(normal, toLight), 0.05, 1.0);
    float slope = min(sqrt(1.0 - cosine * cosine) / cosine, 4.0);
    float bias = (biasUnits + 0.06 * slope) * (1.0 / depthRangeUnits);
    float fineDark = trust * rampUp(coord.z - mean, bias, softnessUnits / depthRangeUnits);
    float coarseDark = rampUp(coord.z - moments.r, bias + coarseStartUnits / depthRangeUnits,
                              (coarseFullUnits - coarseStartUnits) / depthRangeUnits);
    return 1.0 - max(fineDark, coarseDark);
}

// Gamma 2.2 both ways from square roots, which cost a fraction of a power
// here: fitted by least squares, good to 0.1 % relative on the way in and
// to 0.6 of an 8-bit level on the way out.
vec3 toLinear(vec3 c)
{
    vec3 r2 = sqrt(c);
    vec3 r4 = sqrt(r2);
    vec3 r8 = sqrt(r4);
    return c * c * (0.24371109 * r8 + 0.86412030 * r4 - 0.12448066 * r2 + 0.01679074 * c);
}

vec3 toDisplay(vec3 c)
{
    vec3 r2 = sqrt(c);
    vec3 r4 = sqrt(r2);
    vec3 r8 = sqrt(r4);
    return 0.89927279 * r2 + 0.17583870 * r4 - 0.03824118 * r8 - 0.03738727 * c;
}

void main()
{
    // Light adds up in linear units; the textures and the framebuffer hold
    // display (gamma-encoded) values.
#if defined(GROUND_PLANE)
    // Lines a pixel wide whatever the distance, fading out where the cells
    // grow too small on screen to draw without shimmer.
    vec2 cell = texCoord * gridCells;
    vec2 cellsPerPixel = fwidth(cell);
    vec2 toLine = abs(fract(cell - 0.5) - 0.5) / max(cellsPerPixel, vec2(1e-4));
    float line = (1.0 - min(min(toLine.x, toLine.y), 1.0)) * (1.0 - smoothstep(0.1, 0.4, max(cellsPerPixel.x, cellsPerPixel.y)));
    vec3 albedo = toLinear(vec3(0.40, 0.41, 0.42) * (1.0 - 0.18 * line));
    vec3 n = normalize(viewNormal);
#elif defined(MODEL_SURFACES)
    vec3 albedo = toLinear(texture(colorTexture, texCoord).rgb * vertexColour);
    // A zero normal would normalise to NaN, which the effects would spread.
    vec3 n = dot(viewNormal, viewNormal) > 1e-20 ? normalize(viewNormal) : vec3(0.0, 0.0, 1.0);
    n = gl_FrontFacing ? n : -n;
#else
    vec3 albedo = toLinear(texture(colorTexture, texCoord).rgb);
    vec3 n = normalize(viewNormal);
#endif
    vec3 toLight = viewToLight;
    vec3 toEye = normalize(-viewPosition);
    vec3 light = lightColor * lightIntensity;

    float lambert = max(dot(n, toLight), 0.0);
    float lit = lambert > 0.0 ? visibility(n, toLight) : 0.0;

    // Sky light from above is brighter than bounce light from the ground. In
    // linear units even a dim ambient lifts shadows a lot once encoded for
    // display, so it stays below the ambient factor on walls and undersides
    // and keeps the shadows legible.
    float skyShare = 0.6 + 0.3 * dot(n, viewUp);
    vec3 ambient = ambientFactor * skyShare * albedo;
    vec3 diffuse = diffuseFactor * lambert * lit * albedo;
    float highlight = pow(max(dot(reflect(-toLight, n), toEye), 0.0), shininess);
    // A broad exponent would wash whole faces out; weighting the highlight by
    // the Lambert term keeps it on the lit side and fades it at the terminator.
    vec3 specular = specularFactor * highlight * lambert * lit * 0.35;

    vec3 color = (ambient + diffuse + specular) * light;
#ifdef GROUND_PLANE
    fragColor = vec4(toDisplay(color), 1.0 - smoothstep(groundFade.x, groundFade.y, length(texCoord)));
#else
    fragColor = vec4(toDisplay(color), 1.0);
#endif
    viewNormalOut = vec4(n, 1.0);
    viewPositionOut = vec4(viewPosition, 1.0);
}
