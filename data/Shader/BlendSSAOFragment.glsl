#version 330 core
// Applies the blurred ambient visibility to the incoming image.
// colorTexture (unit 0): the image so far, full size.
// ssaoTexture (unit 1): the blurred visibility (white = open), half size,
//   upsampled by linear filtering.
// ssaoFactor: strength; 0 leaves the image alone, 1 applies the visibility
//   fully.
// fragColor: the darkened image, alpha 1.
uniform sampler2D colorTexture;
uniform sampler2D ssaoTexture;
uniform float ssaoFactor;

in vec2 texCoord;
out vec4 fragColor;

void main()
{
    // The image has this pass's own size: read its texel whole, without the
    // four-texel filtering that a read at its centre would pay for nothing.
    vec3 color = texelFetch(colorTexture, ivec2(gl_FragCoord.xy), 0).rgb;
    float visibility = texture(ssaoTexture, texCoord).r;
    fragColor = vec4(color * mix(1.0, visibility, ssaoFactor), 1.0);
}
