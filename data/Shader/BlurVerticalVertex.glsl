#version 330 core
// Vertex stage of the vertical blur.
// Input  position (location 0): screen-quad corner, x and y in -1..1.
// Output texCoord: [0, 1] texture coordinate of the corner.
// Output blurDirection: the blur axis, along y.
layout(location = 0) in vec3 position;

out vec2 texCoord;
flat out vec2 blurDirection;

void main()
{
    texCoord = position.xy * 0.5 + 0.5;
    blurDirection = vec2(0.0, 1.0);
    gl_Position = vec4(position.xy, 0.0, 1.0);
}
