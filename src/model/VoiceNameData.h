#pragma once
// Raw voice-name data behind NameTables; use voiceEntry() instead.

namespace kw::detail {

extern const char* const kVoiceEntries[58][128];
extern const int kDefinedVoices[58];

} // namespace kw::detail
