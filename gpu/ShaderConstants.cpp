#include "gpu/ShaderConstants.h"

#include <sstream>

namespace {

// Always with a decimal point, so that GLSL reads a float, at full precision.
std::string floatLiteral(float value)
{
    std::ostringstream text;
    text.precision(9);
    text << std::showpoint << value;
    return text.str();
}

} // namespace

std::string shaderConstantDefinitions()
{
    return "#define LIGHT_BOX_DEPTH " + floatLiteral(lightBoxFar - lightBoxNear) + "\n" +
           "#define SHADOW_BAND_COUNT " + floatLiteral(static_cast<float>(shadowBandCount)) + "\n";
}
