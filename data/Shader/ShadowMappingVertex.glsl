#version 330 core
// Depth pass from the light.
// Input  position (location 0): object-space position; location 0 is where
//        the scene program's vertex array feeds positions, fixed in both.
// lightMVP: light projection x light view x model, without the [0, 1] bias.
// Built with ALPHA_CUTOUT, for surfaces whose alpha cuts holes, it also
// reads the texture coordinate (2) and the vertex colour (3) where the
// scene program's vertex array feeds them, for the fragment stage's test.
layout(location = 0) in vec3 position;
#ifdef ALPHA_CUTOUT
layout(location = 2) in vec2 uv;
layout(location = 3) in vec4 colour;
out vec2 texCoord;
out float vertexAlpha;
#endif

uniform mat4 lightMVP;

void main()
{
#ifdef ALPHA_CUTOUT
    texCoord = uv;
    vertexAlpha = clamp(colour.a, 0.0, 1.0);
#endif
    gl_Position = lightMVP * vec4(position, 1.0);
}
