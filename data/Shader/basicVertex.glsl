#version 330 core
// Scene pass vertex stage: one scene object into the geometry framebuffer.
// Inputs, locations fixed so that the light's depth program (which reads
// position at location 0) can draw the same vertex array:
//   position (0): object space; normal (1): object space; uv (2): set 0;
//   in the program of a model given by path (MODEL_SURFACES), colour (3):
//   RGBA a vertex, white where the mesh has none.
// modelMatrix: object to world. MVMatrix, NormalMVMatrix: object to camera
//   space for points and normals. MVPMatrix: object to clip space.
//   lightMVP: object to the shadow map's [0, 1] texture space (biased) with
//   depth in z. lightDirection: world-space direction toward the light.
// Outputs: camera-space position and normal, for the screen-space effects
// and for the lighting, which is done in camera space so that nothing is
// interpolated twice; the texture coordinate; the shadow-map coordinate;
// and, the same at every vertex, the light's direction and the world's up
// in camera space.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;
#ifdef MODEL_SURFACES
layout(location = 3) in vec4 colour;
out vec3 vertexColour;
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
#ifdef MODEL_SURFACES
    vertexColour = clamp(colour.rgb, 0.0, 1.0);
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
