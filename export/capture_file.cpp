#include "export/capture_file.h"

#include "export/capture_file_name.h"
#include "export/wav_writer.h"

namespace {

constexpr int32_t kChannels = 2;
// Each taken name means another writer won a race for it; this many in a row means something else is wrong.
constexpr int kCreateAttempts = 64;

}  // namespace

CaptureFile WriteNewCaptureFile(const std::filesystem::path& folder, const float* left, const float* right,
                                int64_t frames, int32_t sampleRate) {
    const float* channels[kChannels] = {left, right};
    CaptureFileNames names(folder);
    CaptureFile result;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        result.path = names.NextFree();
        const NewWavResult outcome =
            WriteNewWavFile(result.path, channels, kChannels, frames, sampleRate, WavSampleFormat::Pcm24);
        if (outcome == NewWavResult::NameTaken) continue;
        result.written = outcome == NewWavResult::Written;
        return result;
    }
    return result;
}
