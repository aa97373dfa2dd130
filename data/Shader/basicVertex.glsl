#version 330 core
// Scene pass vertex stage: one scene object into the geometry framebuffer.
// Inputs, locations fixed so that the light's depth program (which reads
// position at location 0) can draw the same vertex array:
//   position (0): object space; normal (1): object space; uv (2): set 0;
//   in the program of a model given by path (MODEL_SURFACES), colour (3):
//   RGBA a vertex, linear, white where the mesh has none; and with a normal
//   map (NORMAL_MAP), tangent (4): object space, the direction of
//   increasing u in xyz and in w (+1 or -1) the side of the normal the
//   direction of increasing v lies on. With SECOND_UV_SET, uv1 (5): the
//   second set of texture coordinates, which some of its textures read.
// modelMatrix: object to world. MVMatrix, NormalMVMatrix: object to camera
//   space for points and normals. MVPMatrix: object to clip space.
//   lightMVP: object to the shadow map's [0, 1] texture space (biased) with
//   depth in z. lightDirection: world-space direction toward the light.
// Outputs: camera-space position and normal, for the screen-space effects
// and for the lighting, which is done in camera space so that nothing is
// interpolated twice; the texture coordinate; the shadow-map coordinate;
// and, the same at every vertex, the light's direction and the world's up
// in camera space. With NORMAL_MAP also the camera-space unit tangent and
// bitangent at the vertex: the normal map's frame, interpolated as the
// maps were baked against it.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;
#ifdef MODEL_SURFACES
layout(location = 3) in vec4 colour;
out vec4 vertexColour;
#endif
#ifdef NORMAL_MAP
layout(location = 4) in vec4 tangent;
out vec3 viewTangent;
out vec3 viewBitangent;
#endif
#ifdef SECOND_UV_SET
layout(location = 5) in vec2 uv1;
out vec2 texCoord1;
#endif

uniform mat4 modelMatrix;
uniform mat4 NormalMVMatrix;
uniform mat4 MVMatrix;
uniform mat4 MVPMatrix;
uniform mat4 lightMVP;
uniform vec3 lightDirection;

out vec3 viewPosition;
out vec3 viewNormal;
out vec2 texCoord;
out vec3 shadowCoord;
flat out vec3 viewToLight;
flat out vec3 viewUp;

void main()
{
    vec4 objectPosition = vec4(position, 1.0);
    viewPosition = (MVMatrix * objectPosition).xyz;
    viewNormal = mat3(NormalMVMatrix) * normal;
    texCoord = uv;
#ifdef SECOND_UV_SET
    texCoord1 = uv1;
#endif
#ifdef MODEL_SURFACES
    vertexColour = clamp(colour, 0.0, 1.0);
#endif
#ifdef NORMAL_MAP
    // Directions along the surface go by the transform itself, not by its
    // inverse transpose as the normal does; the bitangent is made where the
    // tangent's w was given, in object space, so that a mirroring placement
    // turns it over with the surface. Both are made unit as the normal is
    // (the framing scales the model), so that the map tilts it by the
    // angles it was baked with.
    viewTangent = normalize(mat3(MVMatrix) * tangent.xyz);
    viewBitangent = normalize(mat3(MVMatrix) * (tangent.w * cross(normal, tangent.xyz)));
#endif
    // The light's projection is orthographic and objects are placed by
    // affine transforms, so w is 1 and the division costs nothing here,
    // rather than once a pixel.
    vec4 light = lightMVP * objectPosition;
    shadowCoord = light.xyz / light.w;
    // The camera's rotation: the object-to-camera rotation after undoing the
    // object's own.
    mat3 worldToView = mat3(MVMatrix) * inverse(mat3(modelMatrix));
    viewToLight = normalize(worldToView * lightDirection);
    viewUp = normalize(worldToView * vec3(0.0, 1.0, 0.0));
    gl_Position = MVPMatrix * objectPosition;
}
