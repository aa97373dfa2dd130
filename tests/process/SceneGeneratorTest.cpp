// The committed scene is exactly what the generator writes.
#include "Sandbox.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

// Hand-edited or stale scene files would drift silently from the generator
// that claims to make them; regenerating must give the same bytes.
TEST(SceneGenerator, RewritesTheCommittedSceneByteForByte)
{
    const Sandbox sandbox;
    const fs::path out = sandbox.root / "generated";
    const RunResult result = sandbox.run({BRASSFERN_SCENEGEN_EXE, out.string()}, 120.0);
    ASSERT_EQ(result.status, 0) << result.err;

    const fs::path data = BRASSFERN_DATA_DIR;
    int compared = 0;
    for (const fs::path folder : {"SceneObjects/FinalScene", "Textures/FinalScene", "Textures"}) {
        for (const auto& entry : fs::directory_iterator(out / folder)) {
            if (!entry.is_regular_file())
                continue;
            const fs::path relative = folder / entry.path().filename();
            EXPECT_TRUE(readText(entry.path()) == readText(data / relative)) << relative << " differs";
            ++compared;
        }
    }
    EXPECT_GE(compared, 4);
}
