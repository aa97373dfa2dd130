// fuzz_obj_import: any bytes as the scene file (and as every material library it names), read as
// the viewer reads its scene; every mesh the drawable check passes must copy into arrays whose
// counts match and whose indices stay below the vertex count.
#include "ObjInvariants.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string broken = checkObjBytes(std::string(reinterpret_cast<const char*>(data), size));
    if (!broken.empty()) {
        std::fprintf(stderr, "broken invariant: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
