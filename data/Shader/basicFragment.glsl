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
// The program of a model given by path (MODEL_SURFACES) lights the
// metallic-roughness surface of glTF instead, in linear units, by the sun
// (lightColor, and sunIrradiance: its irradiance on a surface facing it)
// and by the light of the surroundings, in linear radiance. It writes that
// to linearOut (3), a floating-point target the bloom reads, and through
// the tone curve (Khronos PBR Neutral) and the sRGB encoding to fragColor,
// the colour shown: the same as a pass over the frame afterwards would,
// the surfaces being opaque, without the pass. Its inputs, all linear
// but the two colour textures, which the GL decodes from sRGB:
//   baseColourFactor: RGBA; times colorTexture (unit 0) with
//     BASE_COLOUR_MAP, and the vertex colour. Its alpha is opacity: with
//     ALPHA_MASK the surface is cut away where it falls below alphaCutoff;
//     with ALPHA_BLEND it is the weight the surface is blended with over
//     what is behind (the caller leaves the normal and position targets
//     and the depth as they were, so that the effects see what is behind).
//   metallicFactor, roughnessFactor (perceptual, 0 to 1), specularStrength (a
//     dielectric's reflectance at normal incidence over 4 %); with
//     SURFACE_MAP times surfaceTexture (unit 2): roughness in green,
//     metalness in blue, specular weight in alpha.
//   normalTexture (unit 3) with NORMAL_MAP: a tangent-space normal, its x
//     and y scaled by normalScale, in the frame of viewTangent and
//     viewBitangent.
//   occlusionTexture (unit 4, red) with OCCLUSION_MAP, or the surface
//     texture's red with OCCLUSION_IN_SURFACE: the share of the
//     surroundings' light that reaches the point, by occlusionStrength.
//   emissiveFactor: radiance given off, strength included; times
//     emissiveTexture (unit 5) with EMISSIVE_MAP.
//   irradianceConstant, irradianceLinear, irradianceQuadratic: the light a
//     white matte surface returns from the surroundings, as zonal harmonics
//     of its normal's elevation (see render/Environment.h).
//   With UV_MAPPINGS each texture slot (colour, surface, normal, occlusion,
//     emissive) reads the set of texture coordinates uvSets names, texCoord
//     or with SECOND_UV_SET texCoord1, through its transform uvTransforms
//     (see slotUv); otherwise every one reads texCoord as it is.
//   environmentTable (unit 6): the surroundings' radiance prefiltered by
//     roughness, by the reflection's elevation across (x) and the roughness
//     up (y), ENVIRONMENT_ELEVATION_STEPS by ENVIRONMENT_ROUGHNESS_STEPS
//     texels, each a sample at its centre.
// Back faces (drawn only for two-sided surfaces) are lit as seen, and
// points and lines, which have no normal, face the eye. With FLAT_NORMALS
// (a triangle mesh without normals) each facet is lit by its own plane.
// Built with GROUND_PLANE, it draws the ground under a model given by path:
// a plain grey with a faint grid, lit and shadowed like the model, its alpha
// falling to 0 toward the edge of the disc it covers so that it blends into
// the backdrop. texCoord then runs from -1 to 1 across that disc;
// groundFade: where the fade starts and ends, in those units; gridCells:
// grid lines from the centre to the edge. It writes no radiance: its
// target is masked off, and it never glows.
// Outputs: fragColor (0) the shaded colour; viewNormalOut (1) the camera-space
//   unit normal; viewPositionOut (2) the camera-space position. All with
//   alpha 1 (the ground's colour apart), because blending is on while this
//   pass draws.
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
#ifdef MODEL_SURFACES
uniform sampler2D surfaceTexture;
uniform sampler2D normalTexture;
uniform sampler2D occlusionTexture;
uniform sampler2D emissiveTexture;
uniform sampler2D environmentTable;
uniform vec4 baseColourFactor;
uniform float metallicFactor;
uniform float roughnessFactor;
uniform float specularStrength;
uniform float normalScale;
uniform float occlusionStrength;
uniform vec3 emissiveFactor;
uniform float alphaCutoff;
uniform vec3 irradianceConstant;
uniform vec3 irradianceLinear;
uniform vec3 irradianceQuadratic;
uniform float sunIrradiance;
#endif

in vec3 viewPosition;
in vec3 viewNormal;
in vec2 texCoord;
in vec3 shadowCoord;
flat in vec3 viewToLight;
flat in vec3 viewUp;
#ifdef MODEL_SURFACES
in vec4 vertexColour;
#endif
#ifdef NORMAL_MAP
in vec3 viewTangent;
in vec3 viewBitangent;
#endif
#ifdef SECOND_UV_SET
in vec2 texCoord1;
#endif
#ifdef UV_MAPPINGS
uniform int uvSets[5];
uniform mat3 uvTransforms[5];
#endif

layout(location = 0) out vec4 fragColor;
layout(location = 1) out vec4 viewNormalOut;
layout(location = 2) out vec4 viewPositionOut;
#ifdef MODEL_SURFACES
layout(location = 3) out vec4 linearOut;
#endif

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


#ifdef MODEL_SURFACES
const float PI = 3.14159265;
// Below this perceptual roughness a highlight of the sun would be narrower
// than a pixel and flicker in and out as the model turns.
const float smoothest = 0.045;
// Radiance past this (a sharp highlight can reach tens of thousands) only
// saturates the tone curve and the bloom; capping it keeps the float
// target and the blur finite.
const float brightest = 64.0;

// Khronos PBR Neutral: below the shoulder a colour keeps its value and hue
// but for a small toe; above, its peak channel approaches 1 and the colour
// whitens, so that bright surfaces keep their shape instead of clipping.
// Written without branches: this rasterizer runs both sides of one.
vec3 neutralToneMap(vec3 color)
{
    const float startCompression = 0.8 - 0.04;
    const float desaturation = 0.15;
    float lowest = min(color.r, min(color.g, color.b));
    float offset = lowest < 0.08 ? lowest - 6.25 * lowest * lowest : 0.04;
    color -= offset;
    float peak = max(color.r, max(color.g, color.b));
    const float d = 1.0 - startCompression;
    float newPeak = 1.0 - d * d / (peak + d - startCompression);
    float g = 1.0 - 1.0 / (desaturation * (peak - newPeak) + 1.0);
    vec3 compressed = mix(color * (newPeak / max(peak, 1e-6)), vec3(newPeak), g);
    return mix(color, compressed, step(startCompression, peak));
}

// The split-sum's scale and bias of the reflectance at normal incidence,
// by the analytic fit of Karis (after Lazarov) to the integral of the GGX
// lobe with Smith shadowing: a table read saved, to within a few percent.
vec2 environmentBrdf(float nv, float roughness)
{
    const vec4 c0 = vec4(-1.0, -0.0275, -0.572, 0.022);
    const vec4 c1 = vec4(1.0, 0.0425, 1.04, -0.04);
    vec4 r = roughness * c0 + c1;
    float a004 = min(r.x * r.x, exp2(-9.28 * nv)) * r.x + r.y;
    return vec2(-1.04, 1.04) * a004 + r.zw;
}

// The prefiltered environment in the reflected direction, whose elevation
// is `up`, at `roughness`: both mapped onto the table's texel centres.
vec3 prefilteredEnvironment(float up, float roughness)
{
    vec2 steps = vec2(ENVIRONMENT_ELEVATION_STEPS, ENVIRONMENT_ROUGHNESS_STEPS);
    vec2 at = (0.5 + vec2(up * 0.5 + 0.5, roughness) * (steps - 1.0)) / steps;
    return texture(environmentTable, at).rgb;
}

// The sun's light reflected toward the eye: Lambert diffuse and the GGX
// microfacet lobe with height-correlated Smith visibility and Schlick's
// Fresnel, from reflectance f0 at normal incidence to f90 at grazing.
vec3 sunlight(vec3 n, vec3 v, vec3 l, vec3 diffuseColour, vec3 f0, vec3 f90, float alpha)
{
    vec3 h = normalize(l + v);
    float nl = max(dot(n, l), 0.0);
    float nv = max(dot(n, v), 1e-4);
    float nh = max(dot(n, h), 0.0);
    float vh = max(dot(v, h), 0.0);
    vec3 fresnel = f0 + (f90 - f0) * pow(1.0 - vh, 5.0);
    float a2 = alpha * alpha;
    float spread = nh * nh * (a2 - 1.0) + 1.0;
    float distribution = a2 / (PI * spread * spread);
    float visible = 0.5 / max(nl * sqrt(nv * nv * (1.0 - a2) + a2) + nv * sqrt(nl * nl * (1.0 - a2) + a2), 1e-6);
    vec3 reflected = (1.0 - fresnel) * diffuseColour / PI + fresnel * (distribution * visible);
    return reflected * (sunIrradiance * nl) * lightColor;
}

// The texture slots, in the order of import::ModelMaterial's textures.
const int colourSlot = 0;
const int surfaceSlot = 1;
const int normalSlot = 2;
const int occlusionSlot = 3;
const int emissiveSlot = 4;

// The coordinates a texture slot reads.
vec2 slotUv(int slot)
{
#ifdef UV_MAPPINGS
    vec2 uv = texCoord;
#ifdef SECOND_UV_SET
    uv = uvSets[slot] == 1 ? texCoord1 : uv;
#endif
    return (uvTransforms[slot] * vec3(uv, 1.0)).xy;
#else
    return texCoord;
#endif
}

void main()
{
    vec4 base = baseColourFactor * vertexColour;
#ifdef BASE_COLOUR_MAP
    base *= texture(colorTexture, slotUv(colourSlot));
#endif
#ifdef ALPHA_MASK
    if (base.a < alphaCutoff)
        discard;
#endif
#ifdef ALPHA_BLEND
    float opacity = base.a;
#else
    float opacity = 1.0;
#endif
    float metal = metallicFactor;
    float roughness = roughnessFactor;
    float specularWeight = specularStrength;
    float occlusion = 1.0;
#ifdef SURFACE_MAP
    vec4 surface = texture(surfaceTexture, slotUv(surfaceSlot));
    roughness *= surface.g;
    metal *= surface.b;
    specularWeight *= surface.a;
#ifdef OCCLUSION_IN_SURFACE
    occlusion = mix(1.0, surface.r, occlusionStrength);
#endif
#endif
#ifdef OCCLUSION_MAP
    occlusion = mix(1.0, texture(occlusionTexture, slotUv(occlusionSlot)).r, occlusionStrength);
#endif
    roughness = clamp(roughness, smoothest, 1.0);

    float side = gl_FrontFacing ? 1.0 : -1.0;
#ifdef FLAT_NORMALS
    // A mesh without normals (an STL's facets) is lit by the plane of the
    // triangle under the pixel: how the position changes across the screen
    // spans it. Turned to the eye, then by the side seen, as a normal of the
    // winding would be below; a facet of no area faces the eye.
    vec3 across = cross(dFdx(viewPosition), dFdy(viewPosition));
    across = dot(across, viewPosition) > 0.0 ? -across : across;
    vec3 geometric = (dot(across, across) > 1e-30 ? normalize(across) : vec3(0.0, 0.0, 1.0)) * side;
#else
    // A zero normal would normalise to NaN, which the effects would spread.
    vec3 geometric = dot(viewNormal, viewNormal) > 1e-20 ? normalize(viewNormal) : vec3(0.0, 0.0, 1.0);
#endif
    vec3 n = geometric * side;
#ifdef NORMAL_MAP
    // The back of a two-sided surface is the mirror image of its front:
    // the whole frame turns over with it.
    vec3 mapped = texture(normalTexture, slotUv(normalSlot)).xyz * 2.0 - 1.0;
    mapped.xy *= normalScale;
#ifdef UV_MAPPINGS
    // The map's x and y lie along its own transformed coordinates, the
    // tangent frame along the mesh's: turned back (and mirrored back) into
    // that frame, at the map's length.
    mat2 turn = mat2(uvTransforms[normalSlot]);
    mapped.xy = inverse(turn) * mapped.xy * sqrt(abs(determinant(turn)));
#endif
    vec3 bumped = side * (viewTangent * mapped.x + viewBitangent * mapped.y + geometric * mapped.z);
    n = dot(bumped, bumped) > 1e-20 ? normalize(bumped) : n;
#endif
    geometric *= side;
    vec3 v = normalize(-viewPosition);
    vec3 l = viewToLight;

    vec3 diffuseColour = base.rgb * (1.0 - metal);
    vec3 f0 = mix(vec3(min(0.04 * specularWeight, 1.0)), base.rgb, metal);
    vec3 f90 = vec3(mix(min(specularWeight, 1.0), 1.0, metal));
    // The shadow's bias follows the surface as drawn, not as bumped; a face
    // turned from the sun is in its own shadow whatever its map says.
    float lit = visibility(geometric, l) * step(0.0, dot(geometric, l));
    vec3 colour = sunlight(n, v, l, diffuseColour, f0, f90, roughness * roughness) * lit;

    float up = dot(n, viewUp);
    vec3 irradiance = irradianceConstant + irradianceLinear * up + irradianceQuadratic * (3.0 * up * up - 1.0);
    vec2 brdf = environmentBrdf(max(dot(n, v), 1e-4), roughness);
    vec3 reflectance = f0 * brdf.x + f90 * brdf.y;
    vec3 reflection = prefilteredEnvironment(dot(reflect(-v, n), viewUp), roughness);
    colour += (diffuseColour * irradiance * (1.0 - reflectance) + reflection * reflectance) * occlusion;

    vec3 emission = emissiveFactor;
#ifdef EMISSIVE_MAP
    emission *= texture(emissiveTexture, slotUv(emissiveSlot)).rgb;
#endif
    colour += emission;
    colour = clamp(colour, 0.0, brightest);
    linearOut = vec4(colour, opacity);
    vec3 shown = clamp(neutralToneMap(colour), 0.0, 1.0);
    fragColor = vec4(mix(shown * 12.92, 1.055 * pow(shown, vec3(1.0 / 2.4)) - 0.055, step(0.0031308, shown)), opacity);
    viewNormalOut = vec4(geometric, 1.0);
    viewPositionOut = vec4(viewPosition, 1.0);
}
#endif

#ifndef MODEL_SURFACES
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
#endif
