#include "audio/wasapi/mix_format.h"

namespace {

// KSDATAFORMAT_SUBTYPE_IEEE_FLOAT and KSDATAFORMAT_SUBTYPE_PCM.
constexpr GUID kSubtypeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

std::optional<SampleKind> FloatKind(WORD bits) {
    if (bits == 32) return SampleKind::Float32;
    return std::nullopt;
}

std::optional<SampleKind> IntegerKind(WORD bits) {
    switch (bits) {
        case 16: return SampleKind::Int16;
        case 24: return SampleKind::Int24;
        case 32: return SampleKind::Int32;
        default: return std::nullopt;
    }
}

std::optional<SampleKind> ClassifyByTag(const WAVEFORMATEX& format) {
    switch (format.wFormatTag) {
        case WAVE_FORMAT_EXTENSIBLE: {
            // The extensible layout is only there when the size field says so.
            if (format.cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX)) return std::nullopt;
            const auto& extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(format);
            if (IsEqualGUID(extensible.SubFormat, kSubtypeFloat)) return FloatKind(format.wBitsPerSample);
            if (IsEqualGUID(extensible.SubFormat, kSubtypePcm)) return IntegerKind(format.wBitsPerSample);
            return std::nullopt;
        }
        case WAVE_FORMAT_IEEE_FLOAT: return FloatKind(format.wBitsPerSample);
        case WAVE_FORMAT_PCM: return IntegerKind(format.wBitsPerSample);
        default: return std::nullopt;
    }
}

}  // namespace

std::optional<SampleKind> ClassifyMixFormat(const WAVEFORMATEX& format) {
    // A frame must hold the samples read from it (channels 0 and 1), or the
    // conversion would read past the end of a packet.
    const int bytesPerSample = format.wBitsPerSample / 8;
    if (format.nChannels == 0 || format.nBlockAlign < format.nChannels * bytesPerSample) return std::nullopt;
    return ClassifyByTag(format);
}
