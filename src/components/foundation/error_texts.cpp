#include "components/foundation/error_texts.h"

#include <algorithm>
#include <array>

namespace orvexa::components {
namespace {

constexpr std::array<ErrorText, 61> kTable{{
    {8, "Sound device is not enabled."},
    {9, "Sound device was abruptly closed."},
    {10, "Sound device is exclusively allocated by another application."},
    {11, "Invalid sound device ID was passed as an argument."},
    {12, "Device driver is not present or not accessible."},
    {14, "The sound device does not support the format of the wave file."},
    {15, "The device is synchronous and it's not allowed."},
    {16, "There is no sound device installed."},
    {36, "KDVoice control cannot open simultaneously two different recording devices. Wait until the current recording is finished or use another KDVoice control."},
    {37, "Not a PCM wave file or the file has been corrupted."},
    {50, "Unable to allocate system resources to create a timer."},
    {51, "Operation failed because the wave files involved have different formats."},
    {99, "Could not initialize the application under the TAPI."},
    {100, "Could not open the line device."},
    {101, "No TAPI-capable line device installed."},
    {102, "Bad line device ID."},
    {103, "Could not negotiate the version of TAPI."},
    {105, "Could not setup the line device."},
    {106, "Line device is exclusively allocated by another application."},
    {107, "Line device is unavailable."},
    {108, "Error has occurred during call operation."},
    {109, "Error has occurred during answer operation."},
    {110, "Cannot answer the call because it's not being offered."},
    {111, "Error has occurred during hang up operation."},
    {112, "Error has occurred during line device close operation."},
    {113, "Telephony Device Time out: telephony device response to the application request was not received in the expected time."},
    {114, "The property AddressID is out of range."},
    {115, "The call handle specified is invalid."},
    {116, "Application does not have owner privilege to this call."},
    {150, "Device name is unavailable."},
    {151, "External Auxiliary Device is not supported by this line device."},
    {152, "External Handset Device is not supported by this line device."},
    {153, "Caller ID is unavailable for this call."},
    {154, "This device does not support Caller ID."},
    {155, "Invalid dial number."},
    {156, "Set/Read mic and speaker state failed."},
    {157, "Line device is not active. Use the LineActive method to activate it."},
    {158, "The requested action can not be done while the call is in progress. Wait until it is disconnected."},
    {159, "The requested action can not be done while the offering call is in progress. Wait until it is dropped."},
    {160, "Another application request is in progress. Wait until it is complete."},
    {161, "The call is already disconnected."},
    {162, "The telephony device is not compatible with the value specified by the MediaMode property."},
    {163, "The LineConfigLoad method failed because the key specified could not be found."},
    {164, "The required operation on the external device is unavailable."},
    {170, "Operation failed because there is no consultation call."},
    {-1, "Operation failed to complete successfully."},
    {-2, "The operation requested is already in progress."},
    {-10, "One or more of the arguments is invalid."},
    {-50, "Unable to allocate memory."},
    {-51, "The disk is full."},
    {-88, "The file contains no data."},
    {-89, "File cannot be opened."},
    {-90, "File is exclusively allocated by another application."},
    {-92, "Cannot write into the file."},
    {-93, "Read/write operations on the file failed."},
    {-94, "The filename, directory name or volume label syntax is incorrect."},
    {-95, "Too many files already open."},
    {-96, "The file is being used by another application and is unavailable."},
    {-97, "The filename, directory name or volume label was not found."},
    {-98, "The network is not responding to the request to open a remote file."},
    {-100, "The file is protected and cannot be opened."},
}};

}  // namespace

std::span<const ErrorText> error_table() { return kTable; }

std::string_view error_text(ErrorNumber number) {
  auto it = std::find_if(kTable.begin(), kTable.end(),
                         [number](const ErrorText& e) { return e.number == number; });
  return it == kTable.end() ? std::string_view() : it->text;
}

ErrorNumber wave_error(audio::MMRESULT result, WaveCall call) {
  using namespace audio;
  switch (result) {
    case MMSYSERR_NOERROR: return err::kNone;
    case MMSYSERR_BADDEVICEID: return err::kSoundBadDeviceId;
    case MMSYSERR_NOTENABLED: return err::kSoundNotEnabled;
    case MMSYSERR_ALLOCATED: return err::kSoundAllocated;
    case MMSYSERR_INVALHANDLE: return err::kSoundAbruptlyClosed;
    case MMSYSERR_NODRIVER: return err::kSoundNoDriver;
    case MMSYSERR_NOMEM: return call == WaveCall::Open ? err::kSoundNotEnabled : err::kNoMemory;
    case WAVERR_BADFORMAT: return err::kSoundBadFormat;
    case WAVERR_SYNC: return err::kSoundSync;
    default: return err::kFailed;
  }
}

}  // namespace orvexa::components
