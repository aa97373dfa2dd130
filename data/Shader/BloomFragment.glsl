#version 330 core
// Bloom, step 2: adds the blurred glow to the image.
// colorTexture (unit 0): the full-size image. blurTexture (unit 1): the
//   blurred bright part, an eighth of the size, upsampled linearly.
// bloomFactor: the glow's strength.
// fragColor: the image with its glow, alpha 1.
uniform sampler2D colorTexture;
uniform sampler2D blurTexture;
uniform float bloomFactor;

in vec2 texCoord;
out vec4 fragColor;

void main()
{
    // The image has this pass's own size: read its texel whole, without the
    // four-texel filtering that a read at its centre would pay for nothing.
    vec3 color = texelFetch(colorTexture, ivec2(gl_FragCoord.xy), 0).rgb;
    vec3 glow = texture(blurTexture, texCoord).rgb * bloomFactor;
    // Screen blend: the glow brightens dark surroundings most and never
    // clips already bright pixels to flat white.
    fragColor = vec4(1.0 - (1.0 - color) * (1.0 - clamp(glow, 0.0, 1.0)), 1.0);
}
