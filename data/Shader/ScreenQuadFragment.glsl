#version 330 core
// Final pass: shows the chain's result scaled into the window.
// colorTexture (unit 0): the finished image at render size, sampled
//   linearly, which is what scales it to the window size.
// fragColor: the image, alpha 1 so that blending over black leaves it as is.
uniform sampler2D colorTexture;

in vec2 texCoord;
out vec4 fragColor;

void main()
{
    fragColor = vec4(texture(colorTexture, texCoord).rgb, 1.0);
}
