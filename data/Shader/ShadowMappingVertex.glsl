#version 330 core
// Depth pass from the light.
// Input  position (location 0): object-space position; location 0 is where
//        the scene program's vertex array feeds positions, fixed in both.
// lightMVP: light projection x light view x model, without the [0, 1] bias.
layout(location = 0) in vec3 position;

uniform mat4 lightMVP;

void main()
{
    gl_Position = lightMVP * vec4(position, 1.0);
}
