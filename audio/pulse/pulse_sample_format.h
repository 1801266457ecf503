#pragma once
#include <pulse/sample.h>

#include "audio/sample_conversion.h"

struct RecordFormat {
    pa_sample_format_t format;
    SampleKind kind;
};

// Records in the sink's own format when the packet conversion reads it,
// otherwise in float, which the server converts to for us.
RecordFormat ChooseRecordFormat(pa_sample_format_t sinkFormat);
