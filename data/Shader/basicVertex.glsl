#version 330 core
// Scene pass vertex stage: one scene object into the geometry framebuffer.
// Inputs, locations fixed so that the light's depth program (which reads
// position at location 0) can draw the same vertex array:
//   position (0): object space; normal (1): object space; uv (2): set 0.
// modelMatrix, normalMatrix: object to world for points and for normals.
// MVMatrix, NormalMVMatrix: object to camera space for points and normals.
// MVPMatrix: object to clip space. lightMVP: object to the shadow map's
//   [0, 1] texture space (biased) with depth in z.
// Outputs: world-space position and normal for lighting, camera-space
// position and normal for the screen-space effects, texture coordinate and
// the shadow-map coordinate.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;

uniform mat4 modelMatrix;
uniform mat4 normalMatrix;
uniform mat4 NormalMVMatrix;
uniform mat4 MVMatrix;
uniform mat4 MVPMatrix;
uniform mat4 lightMVP;

out vec3 worldPosition;
out vec3 worldNormal;
out vec3 viewPosition;
out vec3 viewNormal;
out vec2 texCoord;
out vec4 shadowCoord;

void main()
{
    vec4 objectPosition = vec4(position, 1.0);
    worldPosition = (modelMatrix * objectPosition).xyz;
    worldNormal = mat3(normalMatrix) * normal;
    viewPosition = (MVMatrix * objectPosition).xyz;
    viewNormal = mat3(NormalMVMatrix) * normal;
    texCoord = uv;
    shadowCoord = lightMVP * objectPosition;
    gl_Position = MVPMatrix * objectPosition;
}
