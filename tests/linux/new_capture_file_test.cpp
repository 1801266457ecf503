// Capture files made through the system's own file operations: a name taken
// in any form is left alone, and two instances exporting into one folder at
// the same moment never share a file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "export/capture_file.h"
#include "export/wav_writer.h"
#include "tests/linux/child_exit.h"
#include "tests/linux/scratch_dir.h"
#include "tests/support/wav_reader.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The code of every sample of one instance's capture in one round.
int32_t Code(int instance, int round, int rounds) { return 1 + instance * rounds + round; }

}  // namespace

TEST(NewCaptureFiles, ANameTakenInAnyFormIsLeftAloneAndNeverWrittenThrough) {
    ScratchDir dir;
    const float samples[2] = {0.5f, -0.5f};
    const float* channels[] = {samples, samples};
    const fs::path file = dir / "file.wav", folder = dir / "folder", dangling = dir / "dangling.wav";
    std::ofstream(file) << "someone's take";
    fs::create_directory(folder);
    fs::create_symlink(dir / "outside.wav", dangling);

    for (const fs::path& taken : {file, folder, dangling}) {
        EXPECT_EQ(WriteNewWavFile(taken, channels, 2, 2, 48000, WavSampleFormat::Pcm24), NewWavResult::NameTaken)
            << taken;
    }
    EXPECT_EQ(ReadAll(file), "someone's take");
    EXPECT_FALSE(fs::exists(dir / "outside.wav")) << "written through a dangling link";
    EXPECT_EQ(WriteNewWavFile(dir / "free.wav", channels, 2, 2, 48000, WavSampleFormat::Pcm24), NewWavResult::Written);
    EXPECT_EQ(fs::file_size(dir / "free.wav"), 44u + 12u);
}

TEST(NewCaptureFiles, TwoInstancesExportingAtOnceNeverShareAFile) {
    constexpr int kRounds = 300;
    constexpr int kFrames = 2400;
    ScratchDir dir;
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    pid_t instances[2];
    for (int instance = 0; instance < 2; ++instance) {
        instances[instance] = fork();
        if (instances[instance] != 0) continue;
        close(start[1]);
        char byte;
        if (read(start[0], &byte, 1) != 0) _exit(1);  // released together, so both mostly choose the same name
        std::vector<float> samples(kFrames);
        for (int round = 0; round < kRounds; ++round) {
            samples.assign(kFrames, static_cast<float>(Code(instance, round, kRounds) / 8388607.0));
            if (!WriteNewCaptureFile(dir.path(), samples.data(), samples.data(), kFrames, 48000).written) _exit(2);
        }
        _exit(0);
    }
    close(start[0]);
    close(start[1]);
    for (const pid_t instance : instances) {
        ASSERT_EQ(WaitForExit(instance, std::chrono::seconds(60), "capture-writing instance"), 0);
    }

    // Each capture must be in a file of its own, whole: an overwrite loses one or mixes two.
    std::set<int32_t> codes;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        const Wav24 wav = ReadWav24(entry.path());
        ASSERT_TRUE(wav.valid) << entry.path();
        ASSERT_EQ(wav.samples.size(), 2u * kFrames) << entry.path();
        for (const int32_t code : wav.samples) ASSERT_EQ(code, wav.samples[0]) << entry.path();
        EXPECT_TRUE(codes.insert(wav.samples[0]).second) << "two files of one capture";
    }
    EXPECT_EQ(codes.size(), 2u * kRounds);
    std::printf("%d rounds of two instances exporting at once, %zu files, none shared\n", kRounds, codes.size());
}
