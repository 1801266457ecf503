// The Debian package as a user meets it: made by CPack from this build folder,
// checked by the desktop's own validators, installed with dpkg, started from
// its menu entry on a private X server and sound server, and removed again.
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/linux/program_under_test.h"
#include "tests/linux/pulse_server.h"
#include "tests/linux/scratch_dir.h"
#include "tests/linux/xvfb_display.h"

// After everything else: Xlib's macros (None, Bool, Status) clash with C++ names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::string_literals;

namespace {

const fs::path kBuildDir = WAVELIFT_BUILD_DIR;
const fs::path kIconDir = fs::path(WAVELIFT_SOURCE_DIR) / "resources" / "icons";
const std::string kAppId = WAVELIFT_APP_ID;
constexpr auto kPackageLockWait = std::chrono::minutes(10);
// Longer than any one command takes, apt waiting for the package manager's lock included.
constexpr auto kCommandTimeout = std::chrono::seconds(660);

struct CommandResult {
    int status = -1;
    std::string output;  // standard output and standard error
};

std::string Quoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs `command` in a shell, ended if it runs longer than kCommandTimeout.
CommandResult Shell(const std::string& command) {
    CommandResult result;
    const std::string bounded = "DEBIAN_FRONTEND=noninteractive timeout -k 10 " + std::to_string(kCommandTimeout.count()) +
                                " sh -c " + Quoted(command) + " 2>&1";
    FILE* pipe = popen(bounded.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (result.status == 124 || result.status == 137)
        result.output += "\n(not finished after " + std::to_string(kCommandTimeout.count()) + " s: " + command + ")\n";
    return result;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

std::set<std::string> LineSet(const std::string& text) {
    const std::vector<std::string> lines = Lines(text);
    return {lines.begin(), lines.end()};
}

// A validator's report lines that are errors or warnings, in the forms the three tools use.
std::string Complaints(const std::string& report) {
    static const std::regex complaint(R"(^(E|W): |: (error|warning): )");
    std::string found;
    for (const std::string& line : Lines(report))
        if (std::regex_search(line, complaint)) found += line + "\n";
    return found;
}

// Package names in a Depends field, alternatives included, without versions.
std::set<std::string> DependedOn(const std::string& field) {
    std::set<std::string> names;
    static const std::regex name(R"((^|[,|])\s*([a-z0-9][a-z0-9+.-]+))");
    for (auto m = std::sregex_iterator(field.begin(), field.end(), name); m != std::sregex_iterator(); ++m)
        names.insert((*m)[2]);
    return names;
}

std::set<std::string> InstalledPackages() {
    return LineSet(Shell("dpkg-query -W -f='${db:Status-Status} ${Package}\\n' | sed -n 's/^installed //p'").output);
}

bool Installed(const std::string& package) {
    return Shell("dpkg-query -W -f='${db:Status-Status}' " + package).output == "installed";
}

// Files and folders anywhere a package puts things whose names mention the program.
std::set<std::string> TracesOfTheProgram() {
    const CommandResult found = Shell("find /usr /etc /opt /var/lib /var/cache -iname '*wavelift*'");
    EXPECT_EQ(found.status, 0) << found.output;
    return LineSet(found.output);
}

// dpkg, waiting while another package manager run holds its lock.
CommandResult Dpkg(const std::string& arguments) {
    const auto deadline = Clock::now() + kPackageLockWait;
    for (;;) {
        CommandResult result = Shell("dpkg " + arguments);
        if (result.status == 0 || result.output.find("locked") == std::string::npos || Clock::now() > deadline)
            return result;
        std::this_thread::sleep_for(std::chrono::seconds(2));
    }
}

int PngSide(const fs::path& file) {
    unsigned char header[24] = {};
    std::ifstream(file, std::ios::binary).read(reinterpret_cast<char*>(header), sizeof header);
    return header[16] << 24 | header[17] << 16 | header[18] << 8 | header[19];
}

// The package installed for one test: removed again, with whatever apt added
// for it, however the test ends. A marker in the build folder lets a later run
// tell a leftover of an interrupted run from the user's own installation.
class InstalledPackage {
public:
    InstalledPackage() : marker(kBuildDir / "package-test-installed") {}
    ~InstalledPackage() { Remove(); }
    InstalledPackage(const InstalledPackage&) = delete;
    InstalledPackage& operator=(const InstalledPackage&) = delete;

    // Takes charge of a package an interrupted run left installed; false when it is someone else's.
    bool AdoptLeftover() {
        owned = fs::exists(marker);
        return owned;
    }

    CommandResult Install(const fs::path& deb) {
        before = InstalledPackages();
        owned = true;
        std::ofstream(marker) << "wavelift\n";
        CommandResult result = Dpkg("-i " + Quoted(deb.string()));
        if (result.status != 0) {  // missing Depends: let apt bring them
            result = Shell("apt-get -o DPkg::Lock::Timeout=600 -y -q -f --no-install-recommends install");
        }
        for (const std::string& package : InstalledPackages())
            if (!before.count(package) && package != "wavelift") added.insert(package);
        return result;
    }

    CommandResult Remove() {
        CommandResult result{0, ""};
        if (!owned) return result;
        if (Installed("wavelift")) result = Dpkg("-r wavelift");
        if (!added.empty()) {
            std::string names;
            for (const std::string& package : added) names += " " + package;
            Shell("apt-get -o DPkg::Lock::Timeout=600 -y -q purge" + names);
            added.clear();
        }
        if (!Installed("wavelift")) fs::remove(marker);
        return result;
    }

private:
    fs::path marker;
    bool owned = false;
    std::set<std::string> before, added;
};

class DebianPackage : public ::testing::Test {
protected:
    ScratchDir scratch;
    fs::path deb;
    fs::path contents;  // the package's files, unpacked

    void SetUp() override {
        const fs::path made = kBuildDir / "package-test";
        if (fs::is_directory(made))
            for (const auto& entry : fs::directory_iterator(made))
                if (entry.path().extension() == ".deb") deb = entry.path();
        ASSERT_FALSE(deb.empty()) << "no package in " << made << ": CTest's test DebianPackageMade makes it";
        contents = scratch / "contents";
        ASSERT_EQ(Shell("dpkg-deb -x " + Quoted(deb) + " " + Quoted(contents)).status, 0);
    }

    std::string Field(const std::string& name) const {
        std::string value = Shell("dpkg-deb -f " + Quoted(deb) + " " + name).output;
        while (!value.empty() && value.back() == '\n') value.pop_back();
        return value;
    }
    fs::path DesktopEntry() const { return contents / "usr/share/applications" / (kAppId + ".desktop"); }
};

TEST_F(DebianPackage, HoldsTheProgramMenuEntryEveryIconSizeAndItsDocuments) {
    std::set<std::string> expected = {"usr/bin/wavelift",
                                      "usr/share/applications/" + kAppId + ".desktop",
                                      "usr/share/metainfo/" + kAppId + ".metainfo.xml",
                                      "usr/share/man/man1/wavelift.1.gz",
                                      "usr/share/doc/wavelift/copyright",
                                      "usr/share/doc/wavelift/changelog.gz"};
    std::set<int> sides;
    static const std::regex iconName(R"(wavelift-([0-9]+)\.png)");
    for (const auto& entry : fs::directory_iterator(kIconDir)) {
        std::smatch m;
        const std::string name = entry.path().filename().string();
        if (!std::regex_match(name, m, iconName)) continue;
        sides.insert(std::stoi(m[1]));
        expected.insert("usr/share/icons/hicolor/" + m[1].str() + "x" + m[1].str() + "/apps/wavelift.png");
    }
    ASSERT_GE(sides.size(), 5u) << "icon sizes drawn into " << kIconDir;

    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(contents))
        if (!entry.is_directory()) found.insert(fs::relative(entry.path(), contents).string());
    EXPECT_EQ(found, expected);
    for (int side : sides) {
        const std::string folder = std::to_string(side) + "x" + std::to_string(side);
        EXPECT_EQ(PngSide(contents / "usr/share/icons/hicolor" / folder / "apps/wavelift.png"), side) << folder;
    }
}

TEST_F(DebianPackage, DependsOnThePackageOfEveryLibraryTheProgramLinks) {
    const std::string program = Quoted(contents / "usr/bin/wavelift");
    const std::set<std::string> depends = DependedOn(Field("Depends"));
    const std::vector<std::string> needed = Lines(Shell("objdump -p " + program + " | sed -n 's/^ *NEEDED *//p'").output);
    ASSERT_GE(needed.size(), 5u);
    for (const std::string& line : Lines(Shell("ldd " + program).output)) {
        std::smatch m;
        if (!std::regex_search(line, m, std::regex(R"((\S+) => (\S+))")) ||
            std::find(needed.begin(), needed.end(), m[1]) == needed.end())
            continue;
        // dpkg may know the file by its name before or after the /usr merge.
        CommandResult owner = Shell("dpkg -S " + Quoted(m[2]));
        if (owner.status != 0) owner = Shell("dpkg -S " + Quoted(fs::canonical(m[2].str())));
        ASSERT_EQ(owner.status, 0) << line << ": " << owner.output;
        const std::string package = owner.output.substr(0, owner.output.find_first_of(":,"));
        EXPECT_TRUE(depends.count(package)) << m[1] << " comes from " << package << "; Depends: " << Field("Depends");
    }
}

TEST_F(DebianPackage, PassesTheDesktopEntryAppStreamAndPackageValidators) {
    const CommandResult entry = Shell("desktop-file-validate " + Quoted(DesktopEntry()));
    EXPECT_EQ(entry.status, 0) << entry.output;
    EXPECT_EQ(Complaints(entry.output), "");
    const fs::path metainfo = contents / "usr/share/metainfo" / (kAppId + ".metainfo.xml");
    const CommandResult metadata = Shell("appstreamcli validate --no-net " + Quoted(metainfo));
    EXPECT_EQ(metadata.status, 0) << metadata.output;
    EXPECT_EQ(Complaints(metadata.output), "");
    // What software centres show, which the validator does not insist on.
    const std::string text = ReadText(metainfo);
    for (const std::string& part : {"<id>" + kAppId + "</id>", "<launchable type=\"desktop-id\">" + kAppId + ".desktop<"s,
                                    "<screenshot type=\"default\">"s, "<content_rating type=\"oars-1.1\""s,
                                    "<release version=\"" + Field("Version") + "\""})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    const CommandResult lint = Shell("lintian " + Quoted(deb));
    EXPECT_EQ(lint.status, 0) << lint.output;
    EXPECT_EQ(Complaints(lint.output), "");
}

TEST_F(DebianPackage, InstallsStartsFromItsMenuEntryAndRemovesLeavingOnlyTheUsersSettings) {
    if (geteuid() != 0) GTEST_SKIP() << "installing the package needs root";
    InstalledPackage package;
    if (Installed("wavelift")) {
        if (!package.AdoptLeftover()) GTEST_SKIP() << "a wavelift package is installed; it is left alone";
        ASSERT_EQ(package.Remove().status, 0);
    }
    const std::set<std::string> tracesBefore = TracesOfTheProgram();
    const CommandResult installed = package.Install(deb);
    ASSERT_EQ(installed.status, 0) << installed.output;
    ASSERT_TRUE(Installed("wavelift")) << installed.output;
    ASSERT_GT(TracesOfTheProgram().size(), tracesBefore.size()) << "the search for traces sees no installed file";
    const std::vector<std::string> files = Lines(Shell("dpkg -L wavelift").output);

    // Started the way the menu starts it: the entry's command, found on PATH.
    std::smatch exec;
    const std::string entry = ReadText("/usr/share/applications/" + kAppId + ".desktop");
    ASSERT_TRUE(std::regex_search(entry, exec, std::regex(R"(\nExec=(\S+))"))) << entry;
    const std::string command = Shell("command -v " + Quoted(exec[1])).output;
    ASSERT_EQ(command, "/usr/bin/wavelift\n");

    XvfbDisplay xserver{false, "1920x1080x24"};
    PulseServer sound;
    ASSERT_TRUE(xserver.Ready());
    ASSERT_TRUE(sound.Start());
    ProgramUnderTest program{"/usr/bin/wavelift"};
    ASSERT_TRUE(program.Open(xserver.Name()));
    ASSERT_TRUE(program.Launch());
    const XWindowId window = program.WaitForWindow();
    ASSERT_NE(window, 0u) << program.ErrorText();
    XClassHint classHint{};
    ASSERT_TRUE(XGetClassHint(program.Connection(), window, &classHint));
    EXPECT_STREQ(classHint.res_class, "WaveliftMainWindow");
    XFree(classHint.res_name);
    XFree(classHint.res_class);
    program.SendDeleteWindow(window);
    EXPECT_EQ(program.Wait(), 0) << program.ErrorText();
    const fs::path settings = program.ConfigHome() / "Wavelift" / "settings.json";
    EXPECT_TRUE(fs::exists(settings));

    const CommandResult removed = package.Remove();
    ASSERT_EQ(removed.status, 0) << removed.output;
    EXPECT_FALSE(Installed("wavelift"));
    for (const std::string& file : files) {
        if (fs::is_directory(file)) continue;  // shared folders such as /usr/bin stay
        EXPECT_FALSE(fs::exists(file)) << file;
    }
    EXPECT_EQ(TracesOfTheProgram(), tracesBefore);
    EXPECT_TRUE(fs::exists(settings)) << "the user's settings stay";
}

}  // namespace
