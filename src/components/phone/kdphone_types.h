// The line component's published types: enumerations with their documented ordinals, the event
// signatures, and the owned helper objects.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orvexa::components {

class KDPhone;

enum TMediaMode : std::uint8_t { mmVoice = 0, mmData = 1, mmFax = 2 };
enum TLinePrivilege : std::uint8_t { lpOwner = 0, lpMonitor = 1 };
enum TLineState : std::uint8_t { lsActivated = 0, lsDeactivated = 1, lsError = 2 };
enum TTypeOfInfo : std::uint8_t { tiDisplayInfo = 0, tiUserInfo = 1, tiOrigin = 2, tiReason = 3 };
enum TExtPhoneState : std::uint8_t { tpsDisplay = 0, tpsLamp = 1, tpsRingMode = 2, tpsRingVolume = 3 };
enum TModemSpeakerVolume : std::uint8_t { svLow = 0, svMedium = 1, svHigh = 2, svDefault = 3 };
enum TModemSpeakerMode : std::uint8_t { smOff = 0, smDial = 1, smOn = 2, smCallSetup = 3, smDefault = 4 };

enum TCallState : std::uint8_t {
  csDisconnected = 0,
  csConnected = 1,
  csProceeding = 2,
  csDialing = 3,
  csRemotePartyDisconnected = 4,
  csBusy = 5,
  csOffering = 6,
  csRing = 7,
  csError = 8,
  csOfferedCallDropped = 9,
  csWaitingDisconnection = 10,
  csNoDialTone = 11,
  csDialTone = 12,
  csRingBack = 13,
  csOnHold = 14,
  csUnhold = 15,
  csInConference = 16,
  csRemovedFromConference = 17,
  csWaitingForFaxCommand = 18,
};

enum TConsultCallState : std::uint8_t {
  ccsStarted = 0,
  ccsProceeding = 1,
  ccsDialing = 2,
  ccsConnected = 3,
  ccsRemotePartyDisconnected = 4,
  ccsBusy = 5,
  ccsError = 6,
  ccsWaitingDisconnection = 7,
  ccsDisconnected = 8,
  ccsNoDialTone = 9,
  ccsDialTone = 10,
  ccsRingBack = 11,
};

// The published name of a call state ("csConnected").
inline const char* CallStateName(TCallState state) {
  static constexpr const char* kNames[] = {
      "csDisconnected", "csConnected", "csProceeding", "csDialing", "csRemotePartyDisconnected",
      "csBusy", "csOffering", "csRing", "csError", "csOfferedCallDropped",
      "csWaitingDisconnection", "csNoDialTone", "csDialTone", "csRingBack", "csOnHold", "csUnhold",
      "csInConference", "csRemovedFromConference", "csWaitingForFaxCommand"};
  return state <= csWaitingForFaxCommand ? kNames[state] : "?";
}

// Events: called synchronously on the loop thread with the component first, only when set.
using TLineStateEvent = std::function<void(KDPhone& Sender, TLineState LineState, int Param1)>;
using TCallStateEvent = std::function<void(KDPhone& Sender, TCallState CallState, int Param1,
                                           int Param2, int CallHandle)>;
using TConsultCallStateEvent =
    std::function<void(KDPhone& Sender, TConsultCallState CallState, int Param1,
                       int ConsultCallHandle, int PrimaryCallHandle)>;
using TCallEvent = std::function<void(KDPhone& Sender, int CallHandle)>;
using TDigitDetectedEvent = std::function<void(KDPhone& Sender, char Digit, int CallHandle)>;
using TOnToneDetectedEvent = std::function<void(KDPhone& Sender, int RefNum, int CallHandle)>;
using TCallerIDEvent = std::function<void(KDPhone& Sender, int Error, const std::u16string& Number,
                                          const std::u16string& Name, int CallHandle)>;
using TCallInfoEvent = std::function<void(KDPhone& Sender, TTypeOfInfo TypeOfInfo,
                                          const std::u16string& StrInfo, int NumInfo,
                                          int CallHandle)>;
using THookStateEvent = std::function<void(KDPhone& Sender, bool OnHook)>;
using TExtPhoneEvent = std::function<void(KDPhone& Sender, TExtPhoneState ExtPhoneState)>;

// Modem speaker settings, applied at the next opening of the line.
struct TModemSpeaker {
  TModemSpeakerMode Mode = smDefault;
  TModemSpeakerVolume Volume = svDefault;
};

// A hook-switch device of the line's phone (handset 1, speaker 2): its microphone and speaker
// state (0 on hook, 1 microphone, 2 speaker, 3 both), volume and gain 0 to 10. The settings are
// kept while the line is closed and applied at every opening.
class TExtDev {
 public:
  TExtDev(KDPhone& owner, int device) : owner_(owner), device_(device) {}
  int MicGain() const { return mic_gain_; }
  int SpeakerVolume() const { return speaker_volume_; }
  // Out of range: a message box, and the value is kept.
  void SetMicGain(int value);
  void SetSpeakerVolume(int value);
  int SetMicSpeakerState(std::uint8_t state);
  int GetMicSpeakerState(std::uint8_t& state) const;
  std::uint8_t RequestedState() const { return requested_; }
  int HookSwitchDevice() const { return device_; }

 private:
  void SetLevel(int value, int& field, bool gain);
  KDPhone& owner_;
  int mic_gain_ = 10;
  int speaker_volume_ = 10;
  std::uint8_t requested_ = 0;
  int device_;
};

// Registry root keys for saved line configurations.
inline constexpr std::uint32_t HKEY_CURRENT_USER = 0x80000001;
inline constexpr std::uint32_t HKEY_LOCAL_MACHINE = 0x80000002;

}  // namespace orvexa::components
