// The Debian package unpacked into a throw-away root (by the fixture that
// runs before these tests), read the way a desktop reads an installed
// application: the desktop entry names a program and an icon, the metainfo
// names the desktop entry, and each of them must be found where it says.
// Also what a fresh machine is asked to install for playing and for testing.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path PACKAGE_PATH{PACKAGE_DIR};
const fs::path ROOT = PACKAGE_PATH / "root";
const std::string VERSION = COLONNADE4_VERSION;

struct CommandResult {
    int status = -1;
    std::string output;  // standard output and error together
};

CommandResult run(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string quoted(const fs::path& path) {
    std::string text(1, '\'');
    text += path.string();
    text += '\'';
    return text;
}

std::string read_text(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

// The one file of a directory with that extension; empty when there is
// none or more than one.
fs::path only_file(const fs::path& dir, const std::string& extension) {
    std::vector<fs::path> found;
    if (fs::is_directory(dir))
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().extension() == extension) found.push_back(entry.path());
    return found.size() == 1 ? found.front() : fs::path{};
}

fs::path desktop_file() { return only_file(ROOT / "usr/share/applications", ".desktop"); }

// The keys of the [Desktop Entry] group.
std::map<std::string, std::string> desktop_entry() {
    std::map<std::string, std::string> keys;
    std::istringstream lines(read_text(desktop_file()));
    std::string line;
    bool in_entry = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.front() == '[') in_entry = line == "[Desktop Entry]";
        const size_t equals = line.find('=');
        if (in_entry && equals != std::string::npos) keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return keys;
}

std::set<std::string> semicolon_list(const std::string& value) {
    std::set<std::string> items;
    std::istringstream parts(value);
    std::string item;
    while (std::getline(parts, item, ';'))
        if (!item.empty()) items.insert(item);
    return items;
}

// The first capture of `pattern` in `text`, or nothing.
std::string first_match(const std::string& text, const std::string& pattern) {
    std::smatch match;
    return std::regex_search(text, match, std::regex(pattern)) ? match[1].str() : std::string{};
}

fs::path package_file() { return only_file(PACKAGE_PATH, ".deb"); }

std::string control_field(const std::string& field) {
    return trimmed(run("dpkg-deb -f " + quoted(package_file()) + " " + field).output);
}

// The package names of a Depends field, without versions or alternatives'
// punctuation.
std::set<std::string> dependency_names(const std::string& depends) {
    std::set<std::string> names;
    const std::regex name(R"(([a-z0-9][a-z0-9.+-]+)(\s*\([^)]*\))?)");
    for (auto it = std::sregex_iterator(depends.begin(), depends.end(), name); it != std::sregex_iterator(); ++it)
        names.insert((*it)[1].str());
    return names;
}

struct Picture {
    bool read = false;
    bool has_alpha = false;
    int width = 0, height = 0;
    std::vector<png_byte> rgba;
    int alpha(int x, int y) const { return rgba[(size_t(y) * size_t(width) + size_t(x)) * 4 + 3]; }
};

Picture read_png(const fs::path& path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    picture.has_alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_RGBA;
    picture.width = int(image.width);
    picture.height = int(image.height);
    picture.rgba.resize(PNG_IMAGE_SIZE(image));
    picture.read = png_image_finish_read(&image, nullptr, picture.rgba.data(), 0, nullptr) != 0;
    return picture;
}

TEST(Package, IsNamedAfterTheVersionAndFiledUnderGames) {
    const fs::path deb = package_file();
    ASSERT_FALSE(deb.empty()) << "no single .deb in " << PACKAGE_PATH;
    const std::string arch = trimmed(run("dpkg --print-architecture").output);
    EXPECT_EQ(deb.filename().string(), "colonnade4_" + VERSION + "_" + arch + ".deb");
    EXPECT_EQ(control_field("Package"), "colonnade4");
    EXPECT_EQ(control_field("Version"), VERSION);
    EXPECT_EQ(control_field("Section"), "games");
    EXPECT_EQ(control_field("Architecture"), arch);
    EXPECT_NE(control_field("Maintainer").find('<'), std::string::npos) << "a maintainer with an address";
}

TEST(Package, DependsOnTheLibrariesTheSoundfontAndTheFonts) {
    const std::set<std::string> depends = dependency_names(control_field("Depends"));
    for (const char* wanted : {"libsdl2-2.0-0", "libfreetype6", "libfontconfig1", "libfluidsynth3",
                               "timgm6mb-soundfont", "fonts-liberation2", "fonts-liberation"})
        EXPECT_TRUE(depends.count(wanted)) << wanted << " missing from Depends: " << control_field("Depends");
}

TEST(Package, InstallsUnderUsrOnlyWithACopyrightFile) {
    ASSERT_TRUE(fs::is_directory(ROOT));
    for (const auto& entry : fs::recursive_directory_iterator(ROOT))
        if (!entry.is_directory()) {
            EXPECT_EQ(fs::relative(entry.path(), ROOT).string().rfind("usr/", 0), 0u) << entry.path();
        }
    EXPECT_TRUE(fs::is_regular_file(ROOT / "usr/share/doc/colonnade4/copyright"));
}

TEST(DesktopEntry, PassesTheValidatorAndDescribesTheGame) {
    const fs::path file = desktop_file();
    ASSERT_FALSE(file.empty()) << "no single desktop entry in usr/share/applications";
    const CommandResult check = run("desktop-file-validate " + quoted(file));
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_EQ(check.output, "") << "hints or warnings";

    auto keys = desktop_entry();
    EXPECT_EQ(keys["Type"], "Application");
    EXPECT_EQ(keys["Name"], "Colonnade4");
    EXPECT_NE(keys["Comment"], "");
    EXPECT_NE(keys["Comment[fr]"], "");
    EXPECT_NE(keys["Keywords"], "");
    EXPECT_EQ(keys["X-Colonnade4-Version"], VERSION);
    const std::set<std::string> categories = semicolon_list(keys["Categories"]);
    EXPECT_TRUE(categories.count("Game") && categories.count("BoardGame")) << keys["Categories"];
}

TEST(DesktopEntry, ExecIsTheInstalledProgram) {
    const std::string exec = desktop_entry()["Exec"];
    ASSERT_EQ(exec, "colonnade4") << "the game takes no arguments and is found on PATH";
    const fs::path program = ROOT / "usr/games" / exec;
    ASSERT_TRUE(fs::is_regular_file(program)) << program;
    const fs::perms perms = fs::status(program).permissions();
    EXPECT_NE(perms & fs::perms::others_exec, fs::perms::none) << "executable by everybody";
    EXPECT_EQ(read_text(program).substr(0, 4),
              "\x7f"
              "ELF");
}

// Each size of the icon theme: the right dimensions, and transparent
// outside the rounded window it shows, not black.
TEST(DesktopEntry, IconResolvesToEverySizeOfTheHicolorTheme) {
    const std::string icon = desktop_entry()["Icon"];
    ASSERT_NE(icon, "");
    ASSERT_EQ(icon.find('/'), std::string::npos) << "a theme icon name, not a path";
    for (int size : {16, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const std::string dir = std::to_string(size) + "x" + std::to_string(size);
        const fs::path file = ROOT / "usr/share/icons/hicolor" / dir / "apps" / (icon + ".png");
        const Picture picture = read_png(file);
        ASSERT_TRUE(picture.read) << file;
        EXPECT_EQ(picture.width, size);
        EXPECT_EQ(picture.height, size);
        EXPECT_TRUE(picture.has_alpha);
        EXPECT_EQ(picture.alpha(0, 0), 0) << "top-left corner";
        EXPECT_EQ(picture.alpha(size - 1, size - 1), 0) << "bottom-right corner";
        EXPECT_EQ(picture.alpha(size / 2, size / 2), 255) << "centre";
    }
}

TEST(Metainfo, PassesTheValidatorsAndNamesTheDesktopEntry) {
    const fs::path desktop = desktop_file();
    ASSERT_FALSE(desktop.empty());
    const std::string id = desktop.stem().string();
    const fs::path file = ROOT / "usr/share/metainfo" / (id + ".metainfo.xml");
    ASSERT_TRUE(fs::is_regular_file(file)) << file;

    const CommandResult check = run("appstreamcli validate --no-net " + quoted(file));
    EXPECT_EQ(check.status, 0) << check.output;
    // The whole tree: the desktop entry the metainfo launches must be there.
    const CommandResult tree = run("appstreamcli validate-tree --no-net " + quoted(ROOT));
    EXPECT_EQ(tree.status, 0) << tree.output;

    const std::string xml = read_text(file);
    EXPECT_EQ(first_match(xml, R"re(<id>([^<]*)</id>)re"), id);
    EXPECT_EQ(first_match(xml, R"re(<launchable type="desktop-id">([^<]*)</launchable>)re"),
              desktop.filename().string());
    EXPECT_EQ(first_match(xml, R"re(<release version="([^"]*)")re"), VERSION);
    EXPECT_EQ(first_match(xml, R"re(<binary>([^<]*)</binary>)re"), desktop_entry()["Exec"]);
    EXPECT_EQ(first_match(xml, R"re(<project_license>([^<]*)</project_license>)re"), "GPL-3.0-or-later");
    EXPECT_EQ(desktop_entry()["Icon"], id) << "icon named after the application";
    // Only a pointer reaches the level buttons that start a game.
    EXPECT_EQ(first_match(xml, R"re(<requires>\s*<control>([^<]*)</control>)re"), "pointing");
    EXPECT_EQ(first_match(xml, R"re(<supports>\s*<control>([^<]*)</control>)re"), "keyboard");
}

// The pages must also typeset cleanly: groff warns about every unknown
// special character, which is how a mistyped accent shows.
TEST(ManPages, EnglishAndFrenchShowTheVersionAndTypesetWithoutWarnings) {
    struct Page {
        const char* path;
        const char* name_heading;
    };
    for (const Page& page : {Page{"usr/share/man/man6/colonnade4.6.gz", ".SH NAME"},
                             Page{"usr/share/man/fr/man6/colonnade4.6.gz", ".SH NOM"}}) {
        SCOPED_TRACE(page.path);
        const fs::path file = ROOT / page.path;
        ASSERT_TRUE(fs::is_regular_file(file));
        const CommandResult text = run("gzip -dc " + quoted(file));
        ASSERT_EQ(text.status, 0) << text.output;
        EXPECT_EQ(text.output.rfind(".TH COLONNADE4 6 ", 0), 0u);
        EXPECT_NE(text.output.find("\"Colonnade4 " + VERSION + "\""), std::string::npos);
        EXPECT_NE(text.output.find(page.name_heading), std::string::npos);
        const CommandResult typeset = run("gzip -dc " + quoted(file) + " | groff -man -ww -z -Tutf8");
        EXPECT_EQ(typeset.status, 0);
        EXPECT_EQ(typeset.output, "");
    }
}

// Whatever lintian finds: errors, warnings and the informational tags
// (missing hardening, unstripped notes), pedantic tags aside, and in a
// sanitizer build the tags its build passes over.
TEST(Package, LintianFindsNothingToReport) {
    if (run("command -v lintian").status != 0) GTEST_SKIP() << "lintian is not installed";
    const std::string passed_over = LINTIAN_PASSES_OVER;
    const CommandResult check = run("lintian --pedantic --display-info " +
                                    (passed_over.empty() ? "" : "--suppress-tags " + passed_over + " ") +
                                    quoted(package_file()));
    std::istringstream lines(check.output);
    std::string line, reported;
    while (std::getline(lines, line))
        if (line.rfind("E: ", 0) == 0 || line.rfind("W: ", 0) == 0 || line.rfind("I: ", 0) == 0)
            reported += line + "\n";
    EXPECT_EQ(reported, "");
}

TEST(Package, ChangelogIsDebiansForThisVersion) {
    const fs::path file = ROOT / "usr/share/doc/colonnade4/changelog.gz";
    ASSERT_TRUE(fs::is_regular_file(file));
    const CommandResult version = run("gzip -dc " + quoted(file) + " | dpkg-parsechangelog -l - -S Version");
    EXPECT_EQ(version.status, 0) << version.output;
    EXPECT_EQ(trimmed(version.output), VERSION);
}

// The packaged program answers the two questions on stdout without a
// display; anything else starts the game, which without a display ends
// silently.
TEST(Program, AnswersVersionAndHelpAndOtherwiseStartsTheGame) {
    const std::string program = quoted(ROOT / "usr/games/colonnade4");
    const CommandResult version = run("env -u DISPLAY " + program + " --version 2>/dev/null");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "Colonnade4 " + VERSION + "\n");
    const CommandResult help = run("env -u DISPLAY " + program + " --help 2>/dev/null");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("Usage: colonnade4 [--help | --version]\n", 0), 0u) << help.output;
    const CommandResult other = run("env -u DISPLAY " + program + " --fullscreen");
    EXPECT_EQ(other.status, 0);
    EXPECT_EQ(other.output, "") << "the game, with nowhere to show itself";
}

// The words `scripts/install-deps.sh ARGUMENT` gives `apt-get install` on
// a machine that has none of its packages: dpkg-query there knows no
// package, and apt-get only writes down what it is asked for.
std::set<std::string> installed_on_a_fresh_machine(const std::string& argument) {
    const fs::path bin = fs::path(::testing::TempDir()) / ("colonnade4-fresh-machine-" + std::to_string(getpid()));
    const fs::path asked = bin / "asked";
    fs::remove_all(bin);
    fs::create_directories(bin);
    const auto stub = [&](const char* name, const std::string& body) {
        std::ofstream(bin / name) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(bin / name, fs::perms::owner_all);
    };
    stub("dpkg-query", "exit 1");
    stub("apt-get", "if [ \"$1\" = install ]; then shift; echo \"$@\" >> " + quoted(asked) + "; fi");
    stub("sudo", "exec \"$@\"");
    const fs::path script = fs::path(SOURCE_DIR) / "scripts/install-deps.sh";
    const CommandResult result = run("PATH=" + quoted(bin) + ":\"$PATH\" " + quoted(script) + " " + argument);
    EXPECT_EQ(result.status, 0) << result.output;
    std::set<std::string> packages;
    std::istringstream words(read_text(asked));
    for (std::string word; words >> word;)
        if (word.front() != '-') packages.insert(word);
    fs::remove_all(bin);
    return packages;
}

// `make run` on a player's machine installs what the game needs and
// nothing of the test bench; `make test` installs both.
TEST(InstallDeps, OnAFreshMachineThePlayerGetsNoTestPackage) {
    struct Row {
        const char* argument;
        const char* package;
        bool installed;
    };
    const Row rows[] = {
        {"", "libsdl2-dev", true},        {"", "libfluidsynth-dev", true},   {"", "timgm6mb-soundfont", true},
        {"", "fonts-liberation2", true},  {"", "dpkg-dev", true},            {"", "libgtest-dev", false},
        {"", "xvfb", false},              {"", "xdotool", false},            {"", "libxtst-dev", false},
        {"", "pulseaudio", false},        {"", "desktop-file-utils", false}, {"", "appstream", false},
        {"", "lintian", false},           {"test", "libsdl2-dev", true},     {"test", "libgtest-dev", true},
        {"test", "xvfb", true},           {"test", "pulseaudio", true},      {"test", "lintian", true},
    };
    std::map<std::string, std::set<std::string>> lists;
    for (const Row& row : rows) {
        if (!lists.count(row.argument)) lists[row.argument] = installed_on_a_fresh_machine(row.argument);
        EXPECT_EQ(lists[row.argument].count(row.package) == 1, row.installed)
            << "install-deps.sh " << row.argument << (row.installed ? " leaves out " : " installs ") << row.package;
    }
}

// `make install PREFIX=~/.local`: that bin is often not on the desktop's
// PATH, so the desktop entry names the program in full.
TEST(Install, UnderAnotherPrefixTheDesktopEntryNamesTheProgramInFull) {
    const fs::path prefix = fs::path(::testing::TempDir()) / "colonnade4-home/.local";
    fs::remove_all(prefix.parent_path());
    const CommandResult install = run("cmake --install " + quoted(BINARY_DIR) + " --prefix " + quoted(prefix));
    ASSERT_EQ(install.status, 0) << install.output;
    const fs::path entry = prefix / "share/applications" / desktop_file().filename();
    const std::string text = read_text(entry);
    const std::string program = (prefix / "bin/colonnade4").string();
    EXPECT_NE(text.find("\nExec=" + program + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nTryExec=" + program + "\n"), std::string::npos) << text;
    EXPECT_EQ(run("desktop-file-validate " + quoted(entry)).output, "");
    EXPECT_EQ(run(quoted(fs::path(program)) + " --version").output, "Colonnade4 " + VERSION + "\n");
    fs::remove_all(prefix.parent_path());
}

}  // namespace
