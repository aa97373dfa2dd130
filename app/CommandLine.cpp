// Parsing the viewer's options in the usual command-line conventions.
#include "app/CommandLine.h"

#include "app/ResolutionSettings.h"

#include <algorithm>
#include <cctype>
#include <utility>

const char* const viewerUsage = "usage: brassfern [options] [SCENE_FILE]";

namespace {

// The tour ends after 900 frames; past it the picture no longer changes,
// and every frame costs a fraction of a second at the default sizes.
constexpr int maxFrames = 1000;

// Digits only: a sign, a space or a unit would be a typo we should not guess at.
bool parseCount(const std::string& text, int& value, int most = maxFrames)
{
    if (text.empty() || text.size() > 4 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return false;
    const int parsed = std::stoi(text);
    if (parsed < 1 || parsed > most)
        return false;
    value = parsed;
    return true;
}

bool endsWithPng(const std::string& path)
{
    if (path.size() <= 4)
        return false;
    std::string extension = path.substr(path.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return extension == ".png";
}

bool takesValue(const std::string& option)
{
    return option == "--settings" || option == "--output" || option == "--frames" || option == "--effects" ||
           option == "--data" || option == "--size";
}

bool isFlag(const std::string& option)
{
    for (const char* flag : {"-h", "--help", "--version", "--no-tour", "--gl-debug", "--no-ground", "--watch",
                             "--headless", "--transparent"})
        if (option == flag)
            return true;
    return false;
}

// Options that shape the picture of --output: without one they would be
// silently ignored. A thumbnail is one still frame from the start view.
bool pictureOptionsHold(ViewerOptions& options, bool haveFrames, std::string& error)
{
    const std::pair<bool, const char*> pictureOnly[] = {{haveFrames, "--frames"},
                                                        {options.headless, "--headless"},
                                                        {options.size > 0, "--size"},
                                                        {options.transparent, "--transparent"}};
    for (const auto& [given, name] : pictureOnly)
        if (given && options.outputPath.empty() && !options.help && !options.version) {
            error = std::string("option ") + name + " needs --output";
            return false;
        }
    if (options.size > 0) {
        options.noTour = true;
        if (!haveFrames)
            options.frames = 1;
    }
    return true;
}

} // namespace

std::string viewerVersion()
{
    return std::string("brassfern ") + BRASSFERN_VERSION;
}

bool ViewerOptions::parse(const std::vector<std::string>& args, std::string& error)
{
    bool optionsEnded = false;
    bool haveScene = false;
    bool haveFrames = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        if (optionsEnded || option.size() < 2 || option[0] != '-') {
            if (option.empty()) {
                // Would read as "no scene file", the built-in scene.
                error = "empty scene file name";
                return false;
            }
            if (haveScene) {
                error = "one scene file at most: " + scenePath + " and " + option;
                return false;
            }
            scenePath = option;
            haveScene = true;
            continue;
        }
        if (option == "--") {
            optionsEnded = true;
            continue;
        }
        // --name=value is the same as --name value.
        std::string value;
        bool inlineValue = false;
        const size_t equals = option.find('=');
        if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option = option.substr(0, equals);
            inlineValue = true;
        }
        if (isFlag(option)) {
            if (inlineValue) {
                error = "option " + option + " takes no value";
                return false;
            }
            help = help || option == "-h" || option == "--help";
            version = version || option == "--version";
            noTour = noTour || option == "--no-tour";
            glDebug = glDebug || option == "--gl-debug";
            noGround = noGround || option == "--no-ground";
            watch = watch || option == "--watch";
            headless = headless || option == "--headless";
            transparent = transparent || option == "--transparent";
            continue;
        }
        if (!takesValue(option)) {
            error = "unknown option " + args[i];
            return false;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                error = "option " + option + " needs a value";
                return false;
            }
            value = args[++i];
        }
        bool ok = !value.empty();
        if (option == "--settings") {
            settingsPath = value;
        } else if (option == "--data") {
            dataPath = value;
        } else if (option == "--output") {
            ok = endsWithPng(value);
            outputPath = value;
        } else if (option == "--frames") {
            ok = parseCount(value, frames);
            haveFrames = true;
        } else if (option == "--size") {
            ok = parseCount(value, size, maxPictureSize);
        } else { // --effects
            ok = parseEffectSwitches(value, effects);
        }
        if (!ok) {
            error = "bad value for " + option + ": '" + value + "'";
            return false;
        }
    }
    return pictureOptionsHold(*this, haveFrames, error);
}

namespace {

// The effects' names in order: "a, b and c".
std::string effectList()
{
    std::string names;
    for (size_t i = 0; i < effectCount; ++i)
        names += std::string(i == 0 ? "" : i + 1 == effectCount ? " and " : ", ") + effectNames[i];
    return names;
}

std::string sizeText(int width, int height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

} // namespace

std::string viewerHelp()
{
    return std::string(viewerUsage) +
           "\n"
           "\n"
           "Shows SCENE_FILE (a Wavefront OBJ, or another format the importer reads) in a window,\n"
           "its textures looked up beside it; without SCENE_FILE, the built-in scene.\n"
           "\n"
           "A model's materials are lit as glTF's metallic-roughness ones, by the sun\n"
           "and by the light of the stage around it: base colour (factor, texture and\n"
           "vertex colours), metallic and roughness, normal map, occlusion and emission\n"
           "(with KHR_materials_emissive_strength). OBJ's Kd, Ks, Ns, Ke, Pr and Pm,\n"
           "their maps, and map_Bump, bump and norm (normal or height maps, with their\n"
           "bump scale), and FBX's and Collada's colours and normal, emissive and\n"
           "specular maps, are read into the same model. Not read yet: transparency\n"
           "(alpha blending and masks), clearcoat, transmission, sheen, iridescence,\n"
           "texture transforms and second texture coordinate sets.\n"
           "\n"
           "Options:\n"
           "  -h, --help           this text, then exit\n"
           "      --version        the version, then exit\n"
           "      --settings FILE  the display settings from FILE instead of\n"
           "                       Settings/resolution.txt\n"
           "      --output FILE    draw without showing a window, save the last frame as\n"
           "                       the PNG picture FILE and exit; a model's picture is\n"
           "                       rendered at 1.25 times its size unless --settings is\n"
           "                       given\n"
           "      --frames N       frames of 1/30 s on the clock for --output, of which\n"
           "                       the last is drawn (default 3, at most 1000)\n"
           "      --effects SDB    0 or 1 for each effect in turn (default " + std::string(effectCount, '1') + "):\n"
           "                       " + effectList() + "\n"
           "      --headless       with --output: draw with no window system (EGL), as a\n"
           "                       run without a display does\n"
           "      --size N         with --output: a thumbnail, at most N x N pixels in the\n"
           "                       model's aspect (N up to " + std::to_string(maxPictureSize) + "): one frame from the start\n"
           "                       view, within the thumbnail's import limits\n"
           "      --transparent    with --output: no backdrop and no ground, a transparent\n"
           "                       background in the PNG\n"
           "      --no-tour        start at the start view in free mode, without the tour\n"
           "      --no-ground      with a model: start without the ground under it\n"
           "      --watch          with a model: open its file again whenever it is written\n"
           "      --data DIR       the program's own files (Shader/, Textures/random.jpg,\n"
           "                       Settings/) from DIR\n"
           "      --gl-debug       a debug GL context: every driver message on standard\n"
           "                       error with its source, type and severity\n"
           "\n"
           "Keys and mouse:\n"
           "  1, 2, 3 (release)    ambient occlusion, depth of field, bloom on and off\n"
           "  Space (release)      end the tour, back to the start view\n"
           "  Escape               quit\n"
           "  left drag            turn the camera about the vertical axis (after the tour);\n"
           "                       with a model, up and down tilts it too\n"
           "  right or middle drag with a model: pan the point looked at (after the tour)\n"
           "  wheel                zoom (after the tour)\n"
           "  F (release)          with a model: frame it again (after the tour)\n"
           "  P (release)          with a model: save the frame as brassfern-NNNN.png in the\n"
           "                       folder the viewer was started in\n"
           "  G (release)          with a model: the ground on and off\n"
           "  a dropped file       with a model: shown instead of it, framed\n"
           "\n"
           "Settings file (one key:value a line, the last of a key wins):\n"
           "  fullscreen:on|off            full screen on the primary monitor (off)\n"
           "  win_width:N  win_height:N    window size (" + sizeText(DefaultSizes::windowWidth, DefaultSizes::windowHeight) + ")\n"
           "  res_width:N  res_height:N    render size (" + sizeText(DefaultSizes::renderWidth, DefaultSizes::renderHeight) + ")\n"
           "  sm_width:N   sm_height:N     shadow-map size (" + sizeText(DefaultSizes::shadowMapWidth, DefaultSizes::shadowMapHeight) + ")\n";
}
