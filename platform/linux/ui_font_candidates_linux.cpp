// Placeholder: replaced by the fontconfig lookup.
#include "app/app.h"

std::vector<std::filesystem::path> GetUiFontCandidates() { return {}; }
