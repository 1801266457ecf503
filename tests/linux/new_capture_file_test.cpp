// Capture files made through the system's own file operations: a name taken
// in any form is left alone, and two instances exporting into one folder at
// the same moment never share a file.
#include <gtest/gtest.h>
#include <poll.h>
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
#include "tests/linux/scratch_dir.h"
#include "tests/support/wav_reader.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One instance in a child process: at each byte on `go` it writes a capture
// whose every sample is its own code for the round, then reports the path.
class Exporter {
public:
    Exporter(const fs::path& folder, int id, int rounds, int framesPerCapture) {
        int goPipe[2], reportPipe[2];
        if (pipe(goPipe) != 0 || pipe(reportPipe) != 0) return;
        pid = fork();
        if (pid == 0) {
            close(goPipe[1]);
            close(reportPipe[0]);
            std::vector<float> samples(static_cast<size_t>(framesPerCapture));
            char start = 0;
            for (int round = 0; round < rounds && read(goPipe[0], &start, 1) == 1; ++round) {
                samples.assign(samples.size(), static_cast<float>(Code(id, round, rounds) / 8388607.0));
                const CaptureFile file = WriteNewCaptureFile(folder, samples.data(), samples.data(),
                                                             framesPerCapture, 48000);
                const std::string line = (file.written ? file.path.string() : std::string("failed")) + "\n";
                if (write(reportPipe[1], line.data(), line.size()) != static_cast<ssize_t>(line.size())) break;
            }
            _exit(0);
        }
        close(goPipe[0]);
        close(reportPipe[1]);
        go = goPipe[1];
        report = reportPipe[0];
    }
    ~Exporter() {
        if (go >= 0) close(go);
        if (report >= 0) close(report);
        if (pid > 0) waitpid(pid, nullptr, 0);
    }

    static int32_t Code(int id, int round, int rounds) { return 1 + id * rounds + round; }

    bool Go() const { return write(go, "g", 1) == 1; }
    // The next reported line; empty when none came within a generous deadline.
    std::string Report() {
        while (pending.find('\n') == std::string::npos) {
            pollfd ready{report, POLLIN, 0};
            char buffer[4096];
            if (poll(&ready, 1, 30000) != 1) return {};
            const ssize_t got = read(report, buffer, sizeof buffer);
            if (got <= 0) return {};
            pending.append(buffer, static_cast<size_t>(got));
        }
        const size_t end = pending.find('\n');
        const std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        return line;
    }

private:
    pid_t pid = -1;
    int go = -1;
    int report = -1;
    std::string pending;
};

}  // namespace

TEST(NewCaptureFiles, ANameTakenInAnyFormIsLeftAloneAndNeverWrittenThrough) {
    ScratchDir dir;
    const float samples[2] = {0.5f, -0.5f};
    const float* channels[] = {samples, samples};
    const fs::path file = dir / "file.wav", folder = dir / "folder", dangling = dir / "dangling.wav",
                   linked = dir / "linked.wav", outside = dir / "outside.wav", target = dir / "target.wav";
    std::ofstream(file) << "someone's take";
    fs::create_directory(folder);
    fs::create_symlink(outside, dangling);
    std::ofstream(target) << "target";
    fs::create_symlink(target, linked);

    for (const fs::path& taken : {file, folder, dangling, linked}) {
        EXPECT_EQ(WriteNewWavFile(taken, channels, 2, 2, 48000, WavSampleFormat::Pcm24), NewWavResult::NameTaken)
            << taken;
    }
    EXPECT_EQ(ReadAll(file), "someone's take");
    EXPECT_FALSE(fs::exists(outside)) << "written through a dangling link";
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(ReadAll(target), "target");

    const fs::path fresh = dir / "fresh.wav";
    EXPECT_EQ(WriteNewWavFile(fresh, channels, 2, 2, 48000, WavSampleFormat::Pcm24), NewWavResult::Written);
    EXPECT_EQ(fs::file_size(fresh), 44u + 12u);
    EXPECT_EQ(WriteNewWavFile(dir / "missing" / "take.wav", channels, 2, 2, 48000, WavSampleFormat::Pcm24),
              NewWavResult::Failed);
}

TEST(NewCaptureFiles, TwoInstancesExportingAtOnceNeverShareAFile) {
    constexpr int kRounds = 300;
    constexpr int kFrames = 2400;
    ScratchDir dir;
    Exporter first(dir.path(), 0, kRounds, kFrames), second(dir.path(), 1, kRounds, kFrames);

    std::vector<std::string> paths[2];
    for (int round = 0; round < kRounds; ++round) {
        // Both start at once, so both mostly choose the same free name.
        ASSERT_TRUE(first.Go() && second.Go());
        paths[0].push_back(first.Report());
        paths[1].push_back(second.Report());
        ASSERT_NE(paths[0].back(), "failed");
        ASSERT_NE(paths[1].back(), "failed");
        ASSERT_FALSE(paths[0].back().empty() || paths[1].back().empty()) << "an exporter stopped in round " << round;
        ASSERT_NE(paths[0].back(), paths[1].back()) << "round " << round;
    }

    std::set<std::string> distinct;
    for (int id = 0; id < 2; ++id) {
        for (int round = 0; round < kRounds; ++round) {
            const std::string& path = paths[id][static_cast<size_t>(round)];
            distinct.insert(path);
            const Wav24 wav = ReadWav24(path);
            ASSERT_TRUE(wav.valid) << path;
            ASSERT_EQ(wav.samples.size(), 2u * kFrames) << path;
            // Any sample of the other instance would mean its write went into this file.
            for (int32_t code : wav.samples) ASSERT_EQ(code, Exporter::Code(id, round, kRounds)) << path;
        }
    }
    EXPECT_EQ(distinct.size(), 2u * kRounds);
    EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator())),
              2u * kRounds);
    std::printf("%d two-instance rounds, %zu files, none shared\n", kRounds, distinct.size());
}
