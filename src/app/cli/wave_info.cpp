#include "app/cli/wave_info.h"

#include <iomanip>
#include <ostream>

#include "app/cli/cli.h"
#include "platform/audio/wave_file.h"

namespace orvexa::cli {

int print_wave_info(const std::string& file, std::ostream& out, std::ostream& err) {
  audio::WaveFileInfo i;
  const audio::WaveProblem p = audio::read_wave_file(file, i);
  if (p != audio::WaveProblem::None) {
    err << "orvexa wave info: " << file << ": " << audio::wave_problem_text(p) << '\n';
    return kExitFailed;
  }
  const auto& f = i.format;
  out << "format: PCM\nchannels: " << f.nChannels << "\nrate: " << f.nSamplesPerSec
      << "\nbits: " << f.wBitsPerSample << "\nblock align: " << f.nBlockAlign
      << "\ndata size: " << i.data_size << "\nduration: " << std::fixed << std::setprecision(3)
      << i.seconds() << " s\n";
  return kExitDone;
}

}  // namespace orvexa::cli
