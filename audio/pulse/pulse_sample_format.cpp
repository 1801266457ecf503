#include "audio/pulse/pulse_sample_format.h"

RecordFormat ChooseRecordFormat(pa_sample_format_t sinkFormat) {
    switch (sinkFormat) {
        case PA_SAMPLE_S16LE: return {PA_SAMPLE_S16LE, SampleKind::Int16};
        case PA_SAMPLE_S24LE: return {PA_SAMPLE_S24LE, SampleKind::Int24};
        case PA_SAMPLE_S32LE: return {PA_SAMPLE_S32LE, SampleKind::Int32};
        case PA_SAMPLE_FLOAT32LE: return {PA_SAMPLE_FLOAT32LE, SampleKind::Float32};
        default: return {PA_SAMPLE_FLOAT32LE, SampleKind::Float32};
    }
}
