// The engine program as a developer calls it: exact output, and status 2 on bad input.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct EngineRun {
    std::string output;
    int status;
};

// Runs the engine with `arguments`, keeping either its standard output or
// its standard error.
EngineRun run_engine(const std::string& arguments, bool keep_errors = false) {
    const std::string command =
        std::string("'") + ENGINE_PATH + "' " + arguments + (keep_errors ? " 2>&1 >/dev/null" : " 2>/dev/null");
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {"", -1};
    std::string output;
    char buffer[256];
    size_t read;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, read);
    const int status = pclose(pipe);
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(EngineTool, AnalysePrintsValuesAndMove) {
    struct Case {
        const char* arguments;
        const char* output;
    };
    const Case cases[] = {
        {"analyse 3 0 6", "values 1:-27 2:-24 3:-20 4:-18 5:-18 6:-20 7:-25\nmove 5\n"},
        {"analyse 2 0 2", "values 1:-25 2:-20 3:-18 4:-18 5:-20 6:-24 7:-27\nmove 4\n"},
        {"analyse 4 0 4", "values 1:-9 2:-7 3:-3 4:0 5:-3 6:-7 7:-9\nmove 4\n"},
        {"analyse 4 0 1", "values 1:9 2:9 3:3 4:10 5:3 6:9 7:6\nmove 4\n"},
        {"analyse 2 3 4433454", "values 1:-22 2:-23 3:-3 4:-4 5:-11 6:-25 7:-25\nmove 3\n"},
        {"analyse 3 3 4433454", "values 1:-47 2:-51 3:-31 4:-26 5:-39 6:-53 7:-53\nmove 4\n"},
        // Two winning columns: the first is played and nothing after it is searched.
        {"analyse 4 3 6273647", "values 1:win\nmove 1\n"},
        {"analyse 4 3 1515257", "values 1:30 2:23 3:25 4:28 5:win\nmove 5\n"},
        // The human already holds a line: every move of the human "completes" it.
        {"analyse 3 3 1212121", "values 1:-100 2:win\nmove 2\n"},
        // Column 1 full.
        {"analyse 2 3 1111112", "values 1:full 2:6 3:13 4:17 5:10 6:4 7:5\nmove 4\n"},
        // The computer opened in the middle.
        {"analyse 4 0 c44", "values 1:-4 2:9 3:15 4:12 5:15 6:9 7:-4\nmove 5\n"},
    };
    for (const Case& c : cases) {
        const EngineRun run = run_engine(c.arguments);
        EXPECT_EQ(run.status, 0) << c.arguments;
        EXPECT_EQ(run.output, c.output) << c.arguments;
    }
}

TEST(EngineTool, BadInputIsOneLineOnStandardErrorAndStatus2) {
    const char* const cases[] = {
        "",                  // no command
        "play",              // unknown command
        "analyse 4 0",       // too few arguments
        "analyse 4 0 44 5",  // too many
        "analyse 5 0 4",     // unknown level
        "analyse 1 0 4",
        "analyse 4 x 4",   // move count not a number
        "analyse 4 0 48",  // column out of range
        "analyse 4 0 40",
        "analyse 4 0 1111111",   // seventh disc into column 1
        "analyse 4 0 12121213",  // a move after the human's line of four
        "bench now",
    };
    for (const char* arguments : cases) {
        const EngineRun errors = run_engine(arguments, true);
        EXPECT_EQ(errors.status, 2) << arguments;
        ASSERT_FALSE(errors.output.empty()) << arguments;
        if (std::string(arguments).rfind("analyse", 0) == 0) {
            EXPECT_EQ(errors.output.find('\n'), errors.output.size() - 1) << arguments << ": " << errors.output;
        }
        const EngineRun output = run_engine(arguments);
        EXPECT_EQ(output.output, "") << arguments;
    }
}

}  // namespace
