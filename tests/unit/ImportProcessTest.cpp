// The import process's budgets: what the viewer holds and the time it takes to read are not the import's, and no
// file's size buys more memory than the machine has free.
#include "import/ImportProcess.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr unsigned long long megabyte = 1ULL << 20;
constexpr unsigned long long gigabyte = 1ULL << 30;

class Folder {
public:
    Folder()
    {
        std::string pattern = (fs::temp_directory_path() / "brassfern-import-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        root = pattern;
    }
    ~Folder() { fs::remove_all(root); }
    std::string write(const std::string& name, const std::string& text) const
    {
        std::ofstream(root / name) << text;
        return (root / name).string();
    }
    fs::path root;
};

// A flat grid of `side` x `side` squares.
std::string gridObj(int side)
{
    std::string obj;
    for (int y = 0; y <= side; ++y)
        for (int x = 0; x <= side; ++x)
            obj += "v " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int corner = y * (side + 1) + x + 1;
            obj += "f " + std::to_string(corner) + " " + std::to_string(corner + 1) + " " +
                   std::to_string(corner + side + 2) + " " + std::to_string(corner + side + 1) + "\n";
        }
    return obj;
}

// The viewer forked with a model's pictures in its memory: the import
// shares those pages, and a small model's import still fits a small budget.
TEST(ImportProcess, MemoryTheViewerHoldsIsNotChargedToItsImport)
{
    Folder folder;
    const std::string cube = folder.write("cube.obj", gridObj(1));
    std::vector<unsigned char> held(512 * megabyte, 1);
    import::ImportBudget budget;
    budget.baseBytes = 128 * megabyte;

    import::ImportProcess process(cube, budget);
    import::ModelData model;
    std::string reason;
    EXPECT_TRUE(process.finish(model, reason)) << reason;
    EXPECT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(held.back(), 1);
}

// A viewer busy with its frames leaves the stream in a full pipe: the import
// waits on it, and is not stopped for that time.
TEST(ImportProcess, TheTimeTheViewerTakesToReadIsNotTheImports)
{
    Folder folder;
    const std::string grid = folder.write("grid.obj", gridObj(300)); // megabytes more than a pipe holds
    import::ImportBudget budget;
    budget.baseSeconds = 2.0;
    budget.secondsPerMegabyte = 0.0;

    import::ImportProcess process(grid, budget);
    std::this_thread::sleep_for(std::chrono::seconds(4));
    import::ModelData model;
    std::string reason;
    EXPECT_TRUE(process.finish(model, reason)) << reason;
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].indices.size(), 6u * 300 * 300);
}

struct MachineCase {
    const char* name;
    const char* meminfo;
    unsigned long long smallFile;  // the budget for 300 bytes read
    unsigned long long hugeFile;   // and for 2 GiB
};

// Half of what the machine has free at the start, however many bytes the
// files claim: on a small machine it is the import that fails.
TEST(ImportBudget, MemoryIsAtMostHalfWhatTheMachineHasFree)
{
    const MachineCase cases[] = {
        {"this kind of machine", "MemTotal: 24683752 kB\nMemFree: 1000000 kB\nMemAvailable: 23068672 kB\n",
         gigabyte + 2400, 11 * gigabyte},
        {"a small one", "MemTotal: 2097152 kB\nMemFree: 524288 kB\nMemAvailable: 1048576 kB\n", 512 * megabyte,
         512 * megabyte},
        {"a kernel without MemAvailable", "MemTotal: 4194304 kB\nMemFree: 2097152 kB\n", gigabyte, gigabyte},
        {"no /proc", "", gigabyte + 2400, 17 * gigabyte},
    };
    for (const MachineCase& c : cases) {
        import::ImportBudget budget;
        budget.mostBytes = import::importMemoryCap(c.meminfo);
        EXPECT_EQ(budget.memory(300), c.smallFile) << c.name;
        EXPECT_EQ(budget.memory(2 * gigabyte), c.hugeFile) << c.name;
    }
}

} // namespace
