#include "gpu/ShaderConstants.h"

#include <sstream>

std::string glslFloat(float value)
{
    std::ostringstream text;
    text.precision(9);
    text << std::showpoint << value;
    return text.str();
}

std::string shaderConstantDefinitions()
{
    return "#define LIGHT_BOX_DEPTH " + glslFloat(lightBoxFar - lightBoxNear) + "\n" +
           "#define SHADOW_BAND_COUNT " + glslFloat(static_cast<float>(shadowBandCount)) + "\n";
}
