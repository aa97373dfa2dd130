#version 330 core
// Depth pass from the light.
// Input  position (location 0): object-space position; location 0 is where
//        the scene program's vertex array feeds positions, fixed in both.
// lightMVP: light projection x light view x model, without the [0, 1] bias.
// Built with ALPHA_CUTOUT, for surfaces whose alpha cuts holes, it also
// reads the texture coordinates (2, and the second set at 5) and the
// vertex colour (3) where the scene program's vertex array feeds them, for
// the fragment stage's test: the colour texture's coordinates are the set
// uvSet names (0 or 1) through uvTransform, affine, which may be applied
// at the corners.
layout(location = 0) in vec3 position;
#ifdef ALPHA_CUTOUT
layout(location = 2) in vec2 uv;
layout(location = 3) in vec4 colour;
layout(location = 5) in vec2 uv1;
uniform int uvSet;
uniform mat3 uvTransform;
out vec2 texCoord;
out float vertexAlpha;
#endif

uniform mat4 lightMVP;

void main()
{
#ifdef ALPHA_CUTOUT
    texCoord = (uvTransform * vec3(uvSet == 1 ? uv1 : uv, 1.0)).xy;
    vertexAlpha = clamp(colour.a, 0.0, 1.0);
#endif
    gl_Position = lightMVP * vec4(position, 1.0);
}
