#version 330 core
// Depth pass from the light: only the depth buffer is written; the light's
// target has no colour attachment.
// With ALPHA_CUTOUT, the surface casts only where its opacity (baseAlpha,
// times colorTexture's alpha (unit 0) and the vertex colour's) reaches
// alphaCutoff: a leaf's shadow has the leaf's holes.
#ifdef ALPHA_CUTOUT
uniform sampler2D colorTexture;
uniform float baseAlpha;
uniform float alphaCutoff;
in vec2 texCoord;
in float vertexAlpha;
#endif

void main()
{
#ifdef ALPHA_CUTOUT
    if (baseAlpha * vertexAlpha * texture(colorTexture, texCoord).a < alphaCutoff)
        discard;
#endif
}
