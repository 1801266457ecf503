// The grab command against the running program: a private session bus, X
// server and sound server, the program started as a user would and the
// command run as a desktop shortcut would run it.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/linux/program_under_test.h"
#include "tests/linux/pulse_server.h"
#include "tests/linux/scratch_dir.h"
#include "tests/linux/private_session_bus.h"
#include "tests/linux/xvfb_display.h"
#include "tests/support/wav_reader.h"
#include "test_paths.h"

#if defined(WAVELIFT_PROGRAM_FILE)

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRate = 48000;
constexpr double kToneHertz = 440.0;
constexpr double kToneAmplitude = 0.5;
// The sound server delivers 10 ms packets.
constexpr int64_t kPacketFrames = kRate / 100;
constexpr auto kReadyTimeout = std::chrono::seconds(30);

struct GrabOutcome {
    int exitCode = -1;
    std::string out;  // the first line
    std::string err;
};

// Runs `wavelift <args>`, its standard error kept in a file.
GrabOutcome RunCommand(const fs::path& errorFile, const std::vector<std::string>& args,
                       const std::vector<std::string>& environment = {}) {
    std::vector<std::string> argv = {"/bin/sh", "-c", "f=$1; shift; exec \"$0\" \"$@\" 2>\"$f\"",
                                     WAVELIFT_PROGRAM_FILE, errorFile.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    TestChild command;
    GrabOutcome outcome;
    if (!command.Start(argv, environment, true)) return outcome;
    outcome.out = command.ReadLine(std::chrono::seconds(20)).value_or("");
    outcome.exitCode = command.Wait(std::chrono::seconds(20));
    outcome.err = ReadText(errorFile);
    return outcome;
}

// How many programs are queued for the bus name, the owner first.
size_t NameOwners() {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr) return 0;
    GVariant* owners = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListQueuedOwners",
        g_variant_new("(s)", "com.brightmoor.Wavelift"), G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, 2000,
        nullptr, nullptr);
    size_t count = 0;
    if (owners != nullptr) {
        GVariant* list = g_variant_get_child_value(owners, 0);
        count = g_variant_n_children(list);
        g_variant_unref(list);
        g_variant_unref(owners);
    }
    g_object_unref(bus);
    return count;
}

class ProgramGrab : public ::testing::Test {
protected:
    ScratchDir folder;
    PrivateSessionBus bus{folder.path()};
    XvfbDisplay xserver{false, "1280x800x24"};
    PulseServer sound;
    ProgramUnderTest program{WAVELIFT_PROGRAM_FILE};

    void SetUp() override {
        ASSERT_TRUE(bus.Ready());
        ASSERT_TRUE(xserver.Ready());
        ASSERT_TRUE(program.Open(xserver.Name()));
    }
    GrabOutcome Grab(const std::vector<std::string>& args, const std::vector<std::string>& environment = {}) {
        return RunCommand(folder / "grab-stderr.txt", args, environment);
    }
};

TEST_F(ProgramGrab, TwoSecondsOfThePlayingToneComeBackAsAFileFromTheFirstInstance) {
    ASSERT_TRUE(sound.Start());
    sound.PlayTone(PulseServer::kFloatSink, kToneHertz, kToneAmplitude, kRate, 2, 60.0);
    ASSERT_TRUE(program.Launch());
    ASSERT_NE(program.WaitForWindow(), 0u) << program.ErrorText();

    // The first answers come while the name is not taken yet or the history holds less than 2 s.
    GrabOutcome grab;
    Wav24 wav;
    const auto deadline = Clock::now() + kReadyTimeout;
    do {
        grab = Grab({"--grab", "2"});
        if (grab.exitCode == 0) wav = ReadWav24(grab.out);
    } while ((grab.exitCode != 0 || wav.samples.size() < 2 * (2 * kRate - kPacketFrames)) && Clock::now() < deadline);
    ASSERT_EQ(grab.exitCode, 0) << grab.err << program.ErrorText();
    EXPECT_TRUE(grab.err.empty()) << grab.err;
    EXPECT_TRUE(fs::path(grab.out).is_absolute());
    EXPECT_EQ(fs::path(grab.out).parent_path().parent_path().parent_path(), program.Home()) << grab.out;
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.sampleRate, static_cast<uint32_t>(kRate));
    EXPECT_NEAR(static_cast<double>(wav.samples.size() / 2), 2.0 * kRate, kPacketFrames);
    // The tone: its level, and the typical distance between upward zero crossings of the left channel
    // (a median, so that a gap the loaded player left does not count).
    int32_t peak = 0;
    std::vector<size_t> periods;
    for (size_t i = 2, last = 0; i < wav.samples.size(); i += 2) {
        peak = std::max(peak, std::abs(wav.samples[i]));
        if (wav.samples[i - 2] < 0 && wav.samples[i] >= 0) {
            if (last != 0) periods.push_back((i - last) / 2);
            last = i;
        }
    }
    ASSERT_FALSE(periods.empty());
    std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
    EXPECT_NEAR(peak, kToneAmplitude * 8388607, 0.02 * 8388607);
    EXPECT_NEAR(static_cast<double>(periods[periods.size() / 2]), kRate / kToneHertz, 1.5);

    // A second instance waits in the queue for the name; the command still reaches the first.
    ProgramUnderTest second{WAVELIFT_PROGRAM_FILE};
    ASSERT_TRUE(second.Open(xserver.Name()));
    ASSERT_TRUE(second.Launch());
    const auto queued = Clock::now() + kReadyTimeout;
    while (NameOwners() < 2 && Clock::now() < queued) {
    }
    ASSERT_EQ(NameOwners(), 2u) << second.ErrorText();
    const GrabOutcome again = Grab({"--grab", "0.5"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(fs::path(again.out).parent_path().parent_path().parent_path(), program.Home()) << again.out;
}

TEST_F(ProgramGrab, WithoutAProgramTheCommandExitsOneAndSaysWhy) {
    const GrabOutcome none = Grab({"--grab"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "Wavelift is not running\n");

    const GrabOutcome noBus = Grab({"--grab", "3"}, {"DBUS_SESSION_BUS_ADDRESS=unix:path=" + (folder / "none").string()});
    EXPECT_EQ(noBus.exitCode, 1);
    EXPECT_NE(noBus.err.find("no session bus"), std::string::npos) << noBus.err;

    const GrabOutcome bad = Grab({"--grab", "0"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("Usage: wavelift"), std::string::npos) << bad.err;
    EXPECT_EQ(Grab({"--version"}).out, "Wavelift " + std::string(WAVELIFT_VERSION));
}

}  // namespace

#endif
