#version 330 core
// Ambient occlusion from the geometry buffers, at full render size.
// PMatrix: the camera's projection (camera space to clip space).
// radius: the sampling radius in world units (camera space is unscaled).
// noiseScale: the render size over the noise image's size, in x and y.
// randTexture (unit 0): the kernel's turn (0..1) as a grey level (JPEG keeps
//   luminance per pixel, not colour), one texel per two-by-two block,
//   repeat-wrapped. Any grey noise works; the viewer's own image orders the
//   turns (see below).
// depthTexture (unit 1): the scene's depth; only its size is read here.
// positionTexture (unit 2): camera-space positions.
// normTexture (unit 3): camera-space unit normals; zero, or not a number once
//   normalized, where a mesh has none.
// fragColor: the ambient visibility as grey, 1 unoccluded, 0 fully occluded.
uniform mat4 PMatrix;
uniform float radius;
uniform vec2 noiseScale;
uniform sampler2D randTexture;
uniform sampler2D depthTexture;
uniform sampler2D positionTexture;
uniform sampler2D normTexture;

in vec2 texCoord;
out vec4 fragColor;

// A hemisphere kernel around +z, denser near the centre so that nearby
// geometry (the creases that matter) weighs most. Sixteen samples, of which
// each pixel takes the quarter its place in its two-by-two block names: the
// half-size blur's first taps land on block corners and average whole
// blocks, so every blurred pixel still sees the whole kernel, at a quarter
// of the cost.
const int sampleCount = 16;
const vec3 kernel[sampleCount] = vec3[](
    vec3( 0.5381, 0.1856, 0.4319), vec3( 0.1379, 0.2486, 0.4430),
    vec3( 0.3371, 0.5679, 0.0057), vec3(-0.6999,-0.0451, 0.0019),
    vec3( 0.0689,-0.1598, 0.8547), vec3( 0.0560, 0.0069, 0.1843),
    vec3(-0.0146, 0.1402, 0.0762), vec3( 0.0100,-0.1924, 0.0344),
    vec3(-0.3577,-0.5301, 0.4358), vec3(-0.3169, 0.1063, 0.0158),
    vec3( 0.0103,-0.5869, 0.0046), vec3(-0.0897,-0.4940, 0.3287),
    vec3( 0.7119,-0.0154, 0.0918), vec3(-0.0533, 0.0596, 0.5411),
    vec3( 0.0352,-0.0631, 0.5460), vec3(-0.4776, 0.2847, 0.0271));

// Written without branches: the software rasterizer this viewer is tuned on
// runs both sides of a branch, and a texture read under a branch or in a loop
// that may stop early costs several unconditional ones. The reads at the
// pixel itself fetch one texel: the float normals are filtered linearly, and
// a filtered read of four float texels costs as much as two samples.

void main()
{
    vec3 stored = texelFetch(normTexture, ivec2(gl_FragCoord.xy), 0).xyz;
    vec3 origin = texelFetch(positionTexture, ivec2(gl_FragCoord.xy), 0).xyz;
    // Where nothing was drawn the position stays cleared to 0, while every
    // drawn point lies at least the near plane in front of the camera: the
    // position alone tells the background, without a read of the depth.
    // A mesh without normals leaves no hemisphere to sample: it is left open
    // like the background. Written so that a length that is not a number
    // counts as none.
    float storedLength2 = dot(stored, stored);
    bool open = origin.z > -0.5 || !(storedLength2 > 1e-8);
    // Open pixels still run the code below, on a harmless stand-in surface.
    vec3 normal = open ? vec3(0.0, 0.0, 1.0) : stored * inversesqrt(storedLength2);
    origin = open ? vec3(0.0, 0.0, -1.0) : origin;

    // One rotation per block, so that the block holds the whole kernel under
    // it, as one pixel with sixteen samples would. The noise image holds the
    // turns: neighbouring texels take sixteen evenly spaced ones in an ordered
    // pattern, which the blur averages out, each moved at random within its
    // sixteenth. (A rotation per pixel, or straight from white noise, leaves
    // a grain on plain surfaces that the blur cannot remove.) One texel per
    // block, read whole: a filtered read at its centre would cost more and
    // a mip level chosen by derivatives would only blur it.
    vec2 block = floor(gl_FragCoord.xy * 0.5) + 0.5;
    vec2 noiseUv = fract(block / vec2(textureSize(depthTexture, 0)) * noiseScale);
    float turn = texelFetch(randTexture, ivec2(noiseUv * vec2(textureSize(randTexture, 0))), 0).r;
    // The direction of that turn from a parabola per quarter, good to a few
    // degrees, which a random rotation does not need better: a sine and a
    // cosine are series on this rasterizer, several samples' worth of work.
    vec2 phase = vec2(turn, fract(turn + 0.25)) * 2.0 - 1.0;
    vec2 wave = 4.0 * phase * (1.0 - abs(phase));
    vec3 randomAxis = vec3(-wave.y, -wave.x, 0.0);
    // A second, decorrelated value from the same texel jitters the radius.
    float jitter = fract(turn * 13.0);

    // A tangent frame around the normal, turned by the block's angle.
    vec3 tangent = randomAxis - normal * dot(randomAxis, normal);
    // Where the normal lies along that axis, the axis turned a quarter is
    // square to it.
    vec3 fallback = vec3(-randomAxis.y, randomAxis.x, 0.0);
    tangent = normalize(dot(tangent, tangent) < 1e-4 ? fallback : tangent);
    mat3 frame = mat3(tangent, cross(normal, tangent), normal);

    // "radius" is the kernel's reach in world units, doubled: at 0.5 the
    // occlusion would hug only the last few centimetres of a crease, too thin
    // to see at this scene's scale (columns are 10 units tall). A fixed world
    // radius keeps creases the same size wherever the camera stands.
    float sampleRadius = 2.0 * radius * (0.75 + 0.5 * jitter);
    // The bias keeps flat floors from occluding themselves through rounding.
    float bias = 0.02 * sampleRadius + 0.004 * abs(origin.z);
    // The hemisphere starts a little above the surface: samples lying almost
    // in the tangent plane would otherwise be judged against the
    // nearest-filtered position of a neighbouring pixel and let flat ground
    // seen at a grazing angle occlude itself in blotches.
    vec3 base = origin + normal * (0.1 * sampleRadius);
    bool oddColumn = (int(gl_FragCoord.x) & 1) == 1;
    bool oddRow = (int(gl_FragCoord.y) & 1) == 1;
    // The projection is linear up to its division, so the base point and the
    // scaled frame are projected once and each sample adds its share: twelve
    // multiply-adds a sample instead of twenty-five.
    vec4 clipBase = PMatrix * vec4(base, 1.0);
    mat3 scaledFrame = frame * sampleRadius;
    mat3x4 clipFrame = mat3x4(PMatrix[0], PMatrix[1], PMatrix[2]) * scaledFrame;
    vec3 depthRow = vec3(scaledFrame[0].z, scaledFrame[1].z, scaledFrame[2].z);
    float occlusion = 0.0;
    for (int k = 0; k < sampleCount / 4; ++k) {
        vec3 evenRowPoint = oddColumn ? kernel[4 * k + 1] : kernel[4 * k];
        vec3 oddRowPoint = oddColumn ? kernel[4 * k + 3] : kernel[4 * k + 2];
        vec3 offset = oddRow ? oddRowPoint : evenRowPoint;
        vec4 clip = clipBase + clipFrame * offset;
        float sampleZ = base.z + dot(depthRow, offset);
        vec2 uv = clip.xy / clip.w * 0.5 + 0.5;
        float sceneDepth = texture(positionTexture, uv).z;
        // Off screen and the empty background occlude nothing.
        bool counts = all(greaterThanEqual(uv, vec2(0.0))) && all(lessThanEqual(uv, vec2(1.0))) && sceneDepth <= -0.5;
        bool inFront = sceneDepth >= sampleZ + bias;
        // The range check fades out occluders far in front, so silhouettes
        // against distant geometry cast no dark halo. A sample that lands at
        // its origin's own depth (a wall facing the camera) would divide by
        // zero; the floor lies far inside the gaps where the fade is
        // saturated anyway, so it changes nothing else.
        float range = smoothstep(0.0, 1.0, sampleRadius / max(abs(origin.z - sceneDepth), 0.01 * sampleRadius));
        occlusion += counts && inFront ? range : 0.0;
    }
    float visibility = 1.0 - occlusion / float(sampleCount / 4);
    // The curve deepens the creases without greying open surfaces.
    fragColor = open ? vec4(1.0) : vec4(vec3(visibility * visibility), 1.0);
}
