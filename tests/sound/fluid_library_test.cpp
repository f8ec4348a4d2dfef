// The synthesiser's library as found on a broken machine: each test runs
// in a process of its own whose library path leads to a stand-in (see
// CMakeLists.txt). The game plays without sound and says why on stderr.
#include <gtest/gtest.h>

#include <string>

#include "sound/fluid_library.h"

namespace {

std::string load_and_capture_stderr(const FluidLibrary** library) {
    testing::internal::CaptureStderr();
    *library = fluid_library();
    return testing::internal::GetCapturedStderr();
}

// The first function it lacks is named, with the loader's own reason.
TEST(FluidLibrary, ALibraryLackingAFunctionIsNamedWithTheFunction) {
    const FluidLibrary* library = nullptr;
    const std::string said = load_and_capture_stderr(&library);
    EXPECT_EQ(library, nullptr);
    EXPECT_NE(said.find("lacks delete_fluid_settings ("), std::string::npos) << said;
    EXPECT_NE(said.find("undefined symbol: delete_fluid_settings"), std::string::npos) << said;
    EXPECT_NE(said.find("playing without sound"), std::string::npos) << said;
}

// A file under the library's name that is no library at all.
TEST(FluidLibrary, AFileThatCannotBeLoadedIsReportedWithTheReason) {
    const FluidLibrary* library = nullptr;
    const std::string said = load_and_capture_stderr(&library);
    EXPECT_EQ(library, nullptr);
    EXPECT_NE(said.find("cannot load " + std::string(FLUIDSYNTH_SONAME) + " ("), std::string::npos) << said;
    EXPECT_NE(said.find("file too short"), std::string::npos) << said;
}

}  // namespace
