// Truncated, byte-flipped and spliced copies of the corpus and the default scene through the import path, with a fixed seed.
#include "ObjInvariants.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr unsigned baseSeed = 1;
constexpr int casesPerSource = 200;
// About twenty seconds over all sources on a slow machine; a source that
// imports slowly runs fewer cases, always the same first ones.
constexpr double secondsPerSource = 0.6;

struct Source {
    std::string name;
    fs::path path;
    std::string object; // one object of the file, standing alone; the whole file when empty
};

void PrintTo(const Source& source, std::ostream* out)
{
    *out << source.name;
}

const fs::path corpus = fs::path(BRASSFERN_TESTDATA_DIR) / "obj-corpus";
const fs::path defaultScene = fs::path(BRASSFERN_DATA_DIR) / "SceneObjects/FinalScene/final_scene.obj";

std::vector<Source> sources()
{
    std::vector<Source> list;
    for (const fs::directory_entry& entry : fs::directory_iterator(corpus)) {
        if (entry.path().extension() == ".obj")
            list.push_back({entry.path().filename().string(), entry.path(), ""});
    }
    std::sort(list.begin(), list.end(), [](const Source& a, const Source& b) { return a.name < b.name; });
    // The default scene is too large to import whole hundreds of times.
    // These objects use no texture coordinate or normal of an earlier one.
    for (const char* object : {"Granite", "Crates", "Water"})
        list.push_back({std::string("final_scene.obj ") + object, defaultScene, object});
    return list;
}

bool startsWith(const std::string& text, size_t at, const char* prefix)
{
    return text.compare(at, std::strlen(prefix), prefix) == 0;
}

// OBJ indices count from the top of the file, so an object cut out of it
// has its faces renumbered from its own first position, texture coordinate
// and normal.
std::string standalone(const std::string& text, const std::string& object)
{
    const size_t begin = text.find("\no " + object + "\n") + 1;
    if (begin == 0)
        return "";
    const size_t next = text.find("\no ", begin);
    const size_t end = next == std::string::npos ? text.size() : next + 1;
    unsigned before[3] = {0, 0, 0};
    for (size_t at = 0; at < begin; at = text.find('\n', at) + 1) {
        before[0] += startsWith(text, at, "v ");
        before[1] += startsWith(text, at, "vt ");
        before[2] += startsWith(text, at, "vn ");
    }
    std::string result;
    std::istringstream lines(text.substr(begin, end - begin));
    for (std::string line; std::getline(lines, line);) {
        if (!startsWith(line, 0, "f ")) {
            result += line + "\n";
            continue;
        }
        std::istringstream corners(line.substr(2));
        result += "f";
        for (std::string corner; corners >> corner;) {
            result += " ";
            std::istringstream parts(corner);
            std::string part;
            for (int k = 0; std::getline(parts, part, '/'); ++k)
                result += (k ? "/" : "") + (part.empty() ? "" : std::to_string(std::stoul(part) - before[k]));
        }
        result += "\n";
    }
    return result;
}

std::string readSource(const Source& source)
{
    std::ifstream file(source.path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return source.object.empty() ? text : standalone(text, source.object);
}

// A stable seed per source, so that adding a model changes no other's cases.
unsigned seedFor(const std::string& name)
{
    unsigned hash = 2166136261u;
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return baseSeed ^ hash;
}

const char* const hostileNumbers[] = {"0",    "-1",  "99999", "4294967295", "-2147483648", "1e38",
                                      "-1e38", "nan", "inf",   "1e39",       "",            "1/-1/-1"};
const char* const hostileLines[] = {"f 1 2 99999", "f -1 -2 -3",   "f 1 1 1",        "l 1 2",       "p 1",
                                    "f 1",         "f",            "v nan nan nan",  "v 1e38 -1e38 0", "vn 0 0 0",
                                    "vt inf nan",  "usemtl none",  "mtllib none.mtl", "o",          "g",
                                    "s off",       "f 1/2/3 4/5/6 7/8/9", "f 1// 2// 3//"};

size_t pick(std::mt19937& random, size_t count)
{
    return count == 0 ? 0 : random() % count;
}

size_t lineStart(const std::string& text, size_t at)
{
    const size_t newline = at == 0 ? std::string::npos : text.rfind('\n', at - 1);
    return newline == std::string::npos ? 0 : newline + 1;
}

// Changes `text` one way and says how, so that a failure can be rebuilt by hand.
std::string mutate(std::string& text, std::mt19937& random)
{
    std::ostringstream how;
    switch (random() % 5) {
    case 0: {
        const size_t length = pick(random, text.size() + 1);
        text.resize(length);
        how << "truncate to " << length;
        break;
    }
    case 1: {
        const int flips = 1 + static_cast<int>(random() % 8);
        how << "set bytes";
        for (int i = 0; i < flips && !text.empty(); ++i) {
            const size_t at = pick(random, text.size());
            text[at] = static_cast<char>(random());
            how << " [" << at << "]=" << static_cast<int>(static_cast<unsigned char>(text[at]));
        }
        break;
    }
    case 2: {
        size_t at = pick(random, text.size());
        while (at < text.size() && !std::isdigit(static_cast<unsigned char>(text[at])))
            ++at;
        size_t end = at;
        while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.'))
            ++end;
        const char* number = hostileNumbers[pick(random, std::size(hostileNumbers))];
        text.replace(at, end - at, number);
        how << "number at " << at << " becomes \"" << number << "\"";
        break;
    }
    case 3: {
        const size_t at = lineStart(text, pick(random, text.size()));
        const char* line = hostileLines[pick(random, std::size(hostileLines))];
        text.insert(at, std::string(line) + "\n");
        how << "insert \"" << line << "\" at " << at;
        break;
    }
    default: {
        const size_t at = lineStart(text, pick(random, text.size()));
        const size_t end = text.find('\n', at);
        text.erase(at, end == std::string::npos ? std::string::npos : end + 1 - at);
        how << "delete the line at " << at;
        break;
    }
    }
    return how.str();
}

class ObjMutation : public testing::TestWithParam<Source> {
};

TEST_P(ObjMutation, EveryDrawableMeshStaysInsideItsArrays)
{
    const Source& source = GetParam();
    const std::string original = readSource(source);
    ASSERT_FALSE(original.empty()) << "cannot read " << source.path;
    const unsigned seed = seedFor(source.name);
    std::mt19937 random(seed);
    const auto start = std::chrono::steady_clock::now();
    int done = 0;
    int imported = 0;
    int copied = 0;
    for (; done < casesPerSource; ++done) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > secondsPerSource)
            break;
        std::string text = original;
        std::string how;
        const int mutations = 1 + static_cast<int>(random() % 3);
        for (int m = 0; m < mutations; ++m)
            how += (m ? "; " : "") + mutate(text, random);
        std::string broken;
        ObjOutcome outcome;
        ASSERT_NO_THROW(broken = checkObjBytes(text, &outcome))
            << source.name << ", seed " << seed << ", case " << done << ": " << how;
        ASSERT_EQ(broken, "") << source.name << ", seed " << seed << ", case " << done << ": " << how;
        imported += outcome.imported;
        copied += static_cast<int>(std::count(outcome.problems.begin(), outcome.problems.end(), scene::MeshProblem::none));
    }
    std::cout << source.name << ": " << done << " mutated copies, " << imported << " imported, " << copied
              << " meshes copied" << std::endl;
}

std::string caseName(const testing::TestParamInfo<Source>& info)
{
    std::string name = info.param.name;
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
                    '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, ObjMutation, testing::ValuesIn(sources()), caseName);

} // namespace
