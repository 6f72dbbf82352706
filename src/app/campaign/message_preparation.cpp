#include "app/campaign/message_preparation.h"

#include <system_error>

#include "app/campaign/campaign_texts.h"
#include "platform/host/atomic_file.h"

namespace orvexa::campaign {

namespace fs = std::filesystem;

namespace {
// Smaller than this the file cannot hold a WAVE header and any sound.
constexpr std::uintmax_t kSmallestWave = 45;
}  // namespace

MessagePreparation::MessagePreparation(VoicePort& voice, CallFlow& flow, StatusLog& log,
                                       OperatorDialogs& dialogs, MessagePaths& paths,
                                       fs::path program_folder)
    : voice_(voice),
      flow_(flow),
      log_(log),
      dialogs_(dialogs),
      paths_(paths),
      folder_(std::move(program_folder)) {}

fs::path MessagePreparation::file_of(MessageRow row) const {
  return folder_ / (row == MessageRow::Opening ? kOpeningFile : kMainFile);
}

fs::path MessagePreparation::temporary_file_of(MessageRow row) const {
  return folder_ / (std::string(".") + (row == MessageRow::Opening ? kOpeningFile : kMainFile) +
                    ".recording");
}

std::string& MessagePreparation::path_of(MessageRow row) {
  return row == MessageRow::Opening ? paths_.opening : paths_.main;
}

void MessagePreparation::set_buttons(MessageButtons buttons) {
  buttons_ = buttons;
  if (buttons_changed_) buttons_changed_(buttons);
}

void MessagePreparation::fill_paths_from_folder() {
  std::error_code error;
  if (fs::exists(file_of(MessageRow::Opening), error)) paths_.opening = file_of(MessageRow::Opening);
  if (fs::exists(file_of(MessageRow::Main), error)) paths_.main = file_of(MessageRow::Main);
}

bool MessagePreparation::record(MessageRow row, int device) {
  if (recording_) return false;  // only the recording row's stop button is enabled meanwhile
  const fs::path temporary = temporary_file_of(row);
  std::error_code error;
  fs::remove(temporary, error);
  const std::optional<int> source = voice_.message_capture_device(device);
  if (!source || voice_.rec(*source, temporary.string()) != 0) {
    log_.append(text::kRecFailed);
    return false;
  }
  recording_ = row;
  recording_failed_ = false;
  path_before_recording_ = path_of(row);
  path_of(row) = file_of(row).string();
  set_buttons(row == MessageRow::Opening ? MessageButtons::OnlyOpeningStop
                                         : MessageButtons::OnlyMainStop);
  return true;
}

void MessagePreparation::stop() {
  voice_.rec_stop();
  voice_.play_stop();
  // A voice device that reports no end of recording still has its take judged here.
  if (recording_) finish_recording(!recording_failed_);
  set_buttons(MessageButtons::AllEnabled);
}

void MessagePreparation::on_sound_state(SoundEvent state) {
  if (!recording_) return;
  if (state == SoundEvent::Error) recording_failed_ = true;
  if (state == SoundEvent::RecDone) finish_recording(!recording_failed_);
}

void MessagePreparation::finish_recording(bool keep) {
  const MessageRow row = *recording_;
  recording_.reset();
  const fs::path temporary = temporary_file_of(row);
  std::error_code error;
  const auto size = fs::file_size(temporary, error);
  if (keep && !error && size >= kSmallestWave) {
    fs::rename(temporary, file_of(row), error);
    if (!error) {
      host::sync_directory(folder_);
      return;
    }
  }
  fs::remove(temporary, error);
  log_.append(text::kRecFailed);
  // The message that was there before is still there; so is the path that named it.
  if (!fs::exists(file_of(row), error)) path_of(row) = path_before_recording_;
}

void MessagePreparation::play(MessageRow row, int device) {
  const std::string path = path_of(row);
  if (path.empty()) {
    dialogs_.message_box(text::kNoFileToPlay);
    return;
  }
  flow_.set_log_playback(true);
  if (voice_.play(device, path) != 0) log_.append(text::kPlayFailed);
}

void MessagePreparation::choose(MessageRow row, const std::optional<std::string>& picked) {
  stop();
  if (picked && !picked->empty()) path_of(row) = *picked;
}

}  // namespace orvexa::campaign
