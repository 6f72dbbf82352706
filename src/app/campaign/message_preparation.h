// The two voice messages: record from the microphone, stop, preview, choose a file. A recording
// goes into a temporary file beside the message and replaces it only when it ended well, so a
// failed or cancelled take never costs the operator the message they had.
//
//   MessagePreparation prep(voice, flow, log, dialogs, paths, program_folder);
//   prep.record(MessageRow::Opening);  ...  prep.stop();   // First.wav replaced now
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "app/campaign/call_flow.h"

namespace orvexa::campaign {

enum class MessageRow { Opening, Main };

// Which of the six record/stop/play buttons are enabled.
enum class MessageButtons { AllEnabled, OnlyOpeningStop, OnlyMainStop };

inline constexpr const char* kOpeningFile = "First.wav";
inline constexpr const char* kMainFile = "Orginal.wav";

class MessagePreparation {
 public:
  MessagePreparation(VoicePort& voice, CallFlow& flow, StatusLog& log, OperatorDialogs& dialogs,
                     MessagePaths& paths, std::filesystem::path program_folder);

  // Device -1: the preferred one. True when the take began; a device that is a line's audio, or
  // none at all, is refused as a failed take.
  bool record(MessageRow row, int device = -1);                  // BitBtn9, BitBtn14
  void stop();                                                   // BitBtn10, BitBtn13, BitBtn8
  void play(MessageRow row, int device = -1);                    // BitBtn11, BitBtn12
  void choose(MessageRow row, const std::optional<std::string>& picked);  // Button1, Button2
  // The sound states of the voice component, next to the call flow's handling of them.
  void on_sound_state(SoundEvent state);

  // The paths filled at start: the two files of the program folder, when they exist.
  void fill_paths_from_folder();

  MessageButtons buttons() const { return buttons_; }
  void on_buttons_changed(std::function<void(MessageButtons)> f) { buttons_changed_ = std::move(f); }
  std::filesystem::path file_of(MessageRow row) const;
  std::filesystem::path temporary_file_of(MessageRow row) const;

 private:
  void set_buttons(MessageButtons buttons);
  void finish_recording(bool keep);
  std::string& path_of(MessageRow row);

  VoicePort& voice_;
  CallFlow& flow_;
  StatusLog& log_;
  OperatorDialogs& dialogs_;
  MessagePaths& paths_;
  std::filesystem::path folder_;
  MessageButtons buttons_ = MessageButtons::AllEnabled;
  std::function<void(MessageButtons)> buttons_changed_;

  std::optional<MessageRow> recording_;
  bool recording_failed_ = false;
  std::string path_before_recording_;
};

}  // namespace orvexa::campaign
