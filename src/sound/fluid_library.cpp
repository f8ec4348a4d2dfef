#include "sound/fluid_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <mutex>

namespace {

FluidLibrary library;
const FluidLibrary* loaded = nullptr;

void load() {
    // RTLD_NOW: a function missing from an older library shows now, not in
    // the middle of a note.
    void* handle = dlopen(FLUIDSYNTH_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "colonnade4: cannot load %s, playing without sound\n", FLUIDSYNTH_SONAME);
        return;
    }
    bool complete = true;
#define C4_FLUID_LOOKUP(name)                                                      \
    library.name = reinterpret_cast<decltype(library.name)>(dlsym(handle, #name)); \
    complete = complete && library.name != nullptr;
    C4_FLUID_FUNCTIONS(C4_FLUID_LOOKUP)
#undef C4_FLUID_LOOKUP
    if (!complete) {
        std::fprintf(stderr, "colonnade4: %s lacks functions the game needs, playing without sound\n",
                     FLUIDSYNTH_SONAME);
        dlclose(handle);
        return;
    }
    loaded = &library;
}

}  // namespace

const FluidLibrary* fluid_library() {
    static std::once_flag once;
    std::call_once(once, load);
    return loaded;
}
