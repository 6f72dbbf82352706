// The English text of every error number, and the translation of waveform-audio results.
#pragma once

#include <span>
#include <string_view>

#include "components/foundation/error_numbers.h"
#include "platform/audio/mm_result.h"

namespace orvexa::components {

struct ErrorText {
  ErrorNumber number;
  std::string_view text;
};

// The whole table, in number order as documented (wave, line, general).
std::span<const ErrorText> error_table();

// The text of `number`; empty for a number the component set does not define.
std::string_view error_text(ErrorNumber number);

// Which call produced a waveform-audio result: opening a device reports "no memory" as
// "not enabled", every other call as -50.
enum class WaveCall { Open, Other };

ErrorNumber wave_error(audio::MMRESULT result, WaveCall call = WaveCall::Other);

}  // namespace orvexa::components
