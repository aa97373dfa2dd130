#version 330 core
// Full-screen pass vertex stage: places a screen-quad corner in clip space.
// Input  position (location 0): the corner, x and y in -1..1, z = 0. Every
//        full-screen program reads it from location 0, the location the
//        screen-quad vertex array feeds.
// Output texCoord: the corner in [0, 1] texture space, (0, 0) lower left.
layout(location = 0) in vec3 position;

out vec2 texCoord;

void main()
{
    texCoord = position.xy * 0.5 + 0.5;
    gl_Position = vec4(position.xy, 0.0, 1.0);
}
