#include "sound/fluid_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace {

FluidLibrary library;
const FluidLibrary* loaded = nullptr;

void load() {
    // RTLD_NOW: a function missing from an older library shows now, not in
    // the middle of a note.
    void* handle = dlopen(FLUIDSYNTH_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        std::fprintf(stderr, "colonnade4: cannot load %s (%s), playing without sound\n", FLUIDSYNTH_SONAME,
                     why ? why : "no reason given");
        return;
    }
    const char* missing = nullptr;
    std::string why;  // dlerror's text lasts only until its next call
#define C4_FLUID_LOOKUP(name)                                                      \
    dlerror();                                                                     \
    library.name = reinterpret_cast<decltype(library.name)>(dlsym(handle, #name)); \
    if (library.name == nullptr && missing == nullptr) {                           \
        missing = #name;                                                           \
        const char* error = dlerror();                                             \
        why = error ? error : "no reason given";                                   \
    }
    C4_FLUID_FUNCTIONS(C4_FLUID_LOOKUP)
#undef C4_FLUID_LOOKUP
    if (missing != nullptr) {
        std::fprintf(stderr, "colonnade4: %s lacks %s (%s), playing without sound\n", FLUIDSYNTH_SONAME, missing,
                     why.c_str());
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
