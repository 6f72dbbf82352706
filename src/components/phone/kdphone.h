// KDPhone, the line component: one line device of the telephony service at a time, its calls
// reported as events on the loop thread.
//
//   KDPhone phone(loop, service, {&busy, &settings});
//   phone.OnCallState = [](KDPhone&, TCallState s, int, int, int call) { ... };
//   phone.LineActive(0, true);  phone.DialNumber("09121234567", 0);
//
// Every operation returns an error number (0 done); outcomes of requests arrive as events.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "components/foundation/component_base.h"
#include "components/phone/kdphone_types.h"
#include "components/phone/pending_requests.h"
#include "platform/host/host_services.h"
#include "platform/settings/settings_store.h"
#include "platform/telephony/telephony_api.h"
#include "platform/telephony/var_struct.h"

namespace orvexa::components {

namespace tel = telephony;

struct KDPhoneServices {
  host::BusyIndicator* busy = nullptr;         // hourglass while a line opens
  settings::SettingsStore* settings = nullptr;  // saved line configurations
  host::ComponentMessageBox* message_box = nullptr;  // refused volume and gain values
};

class KDPhone : public TTEL_ComponentVCL {
 public:
  // Kept in the class: the voice component has a notify event of its own at namespace level.
  using TNotifyEvent = std::function<void(KDPhone& Sender)>;

  // Window messages of the component's hidden window.
  static constexpr UINT kLineRelayMessage = 1424;
  static constexpr UINT kPhoneRelayMessage = 1425;
  static constexpr UINT kHangupMessage = 1426;
  static constexpr UINT kPassthroughMessage = 1428;

  KDPhone(messaging::Loop& loop, tel::TelephonyApi& api, KDPhoneServices services = {});
  ~KDPhone() override;

  // --- published properties ---
  bool IsConnected() const;
  bool IsActive() const { return state_ == LineState::Open; }
  bool AutoDisconnect = true;
  int NumberOfLines();
  int NumberOfActiveCalls() const { return static_cast<int>(calls_.size()); }
  int LineID() const { return line_id_; }
  TMediaMode CurrentMediaMode() const { return current_media_mode_; }
  TLinePrivilege CurrentLinePrivilege() const { return current_privilege_; }
  TMediaMode MediaMode = mmVoice;
  TLinePrivilege LinePrivilege = lpOwner;
  int WaveRecID() const { return wave_rec_id_; }
  int WavePlayID() const { return wave_play_id_; }
  TExtDev& ExtDevHandSet() { return *handset_; }
  TExtDev& ExtDevAux() { return *aux_; }
  int ExtPhoneNumOfRings() const { return static_cast<int>(line_info_.ring_modes); }
  int ExtPhoneNumOfLamps() const { return static_cast<int>(line_info_.lamps); }
  int ExtPhoneNumOfDisplayRows() const { return static_cast<int>(line_info_.rows); }
  int ExtPhoneNumOfDisplayCols() const { return static_cast<int>(line_info_.cols); }
  TModemSpeaker& ModemSpeaker() { return *modem_speaker_; }
  bool ShowModemIcon = false;
  bool WaitForDialTone = false;
  int TimeOut() const { return time_out_; }
  void SetTimeOut(int ms) {
    if (ms >= 0) time_out_ = ms;
  }
  int InitialRingNumber = 1;
  int AddressID = 0;

  // --- published events ---
  TLineStateEvent OnLineState;
  TCallStateEvent OnCallState;
  TConsultCallStateEvent OnConsultCallState;
  TCallEvent OnBeforeDisconnect;
  TDigitDetectedEvent OnDigitDetected;
  TOnToneDetectedEvent OnToneDetected;
  TCallEvent OnFaxToneDetected;
  TCallerIDEvent OnCallerID;
  TCallerIDEvent OnCalledID;
  TCallInfoEvent OnCallInfo;
  THookStateEvent OnHookState;
  TNotifyEvent OnExtDevAuxChanged;
  TNotifyEvent OnExtDevHandsetChanged;
  TExtPhoneEvent OnExtPhoneChanged;

  // --- line activation and information ---
  int LineActive(int device, bool activate);
  int LineReactivate(bool silent);
  int GetLineCaps(int device, int& word);

  // --- device information and configuration ---
  int LineConfigDialog(std::uintptr_t owner, int device);
  int LineConfigDialogSave(std::uintptr_t owner, std::uint32_t root_key, const std::string& key_path,
                           const std::string& value_name, int device);
  int LineConfigLoad(std::uint32_t root_key, const std::string& key_path,
                     const std::string& value_name, int device);
  int GetWaveRecIDFrom(bool from_address, int value, int& device);
  int GetWavePlayIDFrom(bool from_address, int value, int& device);
  int GetCommHandle(std::uint32_t& handle);
  int GetLineName(int device, std::u16string& name);
  int GetNumberOfAddresses(int device, int& count);
  int GetAddressName(int device, int address, std::u16string& name);
  // How many calls the line device carries at once (its channels); at least 1.
  int GetMaxActiveCalls(int device, int& calls);
  int GetAddressID(int call, int& address);

  // --- calls ---
  int DialNumber(const std::string& number, int user_value);
  int Answer(int user_value);
  int PickUp(int user_value);
  int Hangup();
  bool IsCallConnected(int call) const;
  int GetCallState(int index, TCallState& state) const;
  int GetCallHandle(int index, int& call) const;

  // --- hold, transfer, conference and consultation ---
  int Hold();
  int Unhold();
  int Transfer(const std::string& number);
  int TransferAToB(int call_a, int call_b);
  int CreateConferenceCall(int call_a, int call_b, int user_value);
  int ConsultCallDialNumber(bool transfer, const std::string& number);
  int ConsultCallComplete();
  int ConsultCallCancel();

  // --- the line's phone device ---
  int ExtPhoneSetRing(int ring_mode, int volume);
  int ExtPhoneSetLamp(int lamp, int lamp_mode);
  int ExtPhoneSetDisplay(int row, int column, const std::u16string& text);
  int ExtPhoneGetRing(int& ring_mode, int& volume);
  int ExtPhoneGetLamp(int lamp, int& lamp_mode);
  int ExtPhoneGetDisplay(std::u16string& text);

  // --- digits and tones ---
  int Passthrough(bool enable);
  int GenerateDTMFDigits(const std::string& digits);
  int MonitorTones(int ref_num, int duration, int f1, int f2, int f3);
  int MonitorTonesCancel();

  void WndProc(TMessage& message) override;

  // --- what tests, benchmarks and the headless runner look at ---
  int CurrentCall() const { return static_cast<int>(current_call_); }
  std::size_t PendingRequestCount() const { return pending_.size(); }
  std::size_t PickedUpCount() const { return picked_up_.size(); }
  std::size_t OrphanCellCount() const { return orphan_cells_.size(); }
  std::size_t ConsultCount() const { return consults_.size(); }
  // The consultation state of the current call's consultation, if it has one.
  std::optional<TConsultCallState> ConsultState() const;
  bool TimeOutTimerOn() const { return timer_enabled_; }
  const std::string& FaxDialCommand() const { return fax_dial_command_; }

 private:
  using AddressCaps = std::optional<tel::VarBuffer<tel::LINEADDRESSCAPS>>;
  int ReadAddressCaps(int device, int address, AddressCaps& caps);
  struct CallEntry {
    tel::HCALL handle = 0;
    TCallState state = csDisconnected;
    int rings = 1;
    int user_value = 0;
    bool dropping = false;
    TCallState before_drop = csConnected;  // restored when the drop fails
  };
  // The telephony service is initialised before the line is first opened, and stays so.
  enum class LineState : std::uint8_t { Uninitialised, Closed, Open };
  struct LineInfo {
    int device = -1;
    int wave_in = -2, wave_out = -2, phone = -2;
    int caps_word = 0;
    bool valid = false;
    int caps_device = -1;
    bool wide = true;
    tel::DWORD ring_modes = 0, lamps = 0, rows = 0, cols = 0;
    tel::DWORD line_version = 0, phone_version = 0;
    tel::DWORD media_modes = 0, monitor_media = 0, monitor_digits = 0;
  };
  // A consultation: its calls' handles live in cells the service writes when it replies.
  struct TConsults {
    tel::HCALL primary = 0;
    std::unique_ptr<tel::HCALL> consult_cell, conference_cell;
    std::string number;
    bool dropping = false, completed = false;
    TConsultCallState state = ccsStarted;
    bool transfer = true;
    tel::HCALL consult_call() const { return consult_cell ? *consult_cell : 0; }
    tel::HCALL conference_call() const { return conference_cell ? *conference_cell : 0; }
  };
  struct Relay {
    tel::DWORD device = 0, message = 0;
    tel::DWORD_PTR p1 = 0, p2 = 0, p3 = 0;
  };

  // service and activation (kdphone_line.cpp)
  int Initialise();
  int EnsureInitialised();
  int Gather(int device, int& word);
  int ProbeDevice(int device, LineInfo& probe, bool is_line);
  int ProbeOpened(tel::HLINE line, LineInfo& probe, bool automated_voice, bool is_line);
  int ProbePhone(int phone, LineInfo& probe, int& word);
  int OpenLine();
  int CloseLine();
  void ApplyModemSettings();
  int DeviceIdentifier(tel::HLINE line, tel::DWORD address, tel::HCALL call, tel::DWORD select,
                       const char* device_class, int& id, std::vector<std::uint8_t>* data = nullptr);

  // dispatch (kdphone_dispatch.cpp)
  void DispatchLine(const Relay& r);
  void DispatchPhone(const Relay& r);
  void DispatchCallState(tel::HCALL call, tel::DWORD state, tel::DWORD mode);
  void ReportCallState(tel::HCALL call, TCallState state);
  void DispatchRings();
  void DispatchCallInfo(tel::HCALL call, tel::DWORD bits);
  void DispatchIdentification(tel::HCALL call, bool caller);
  void DispatchReply(tel::LONG request, tel::LONG result);
  void CompleteReply(PendingRequest& request, tel::LONG result);
  void RestoreAfterDrop(tel::HCALL call);
  void CheckTimeOuts();
  void ReleaseCall(tel::HCALL call);
  void StartMonitoring(tel::HCALL call);
  void ReportError(tel::HCALL call, int code);

  // requests (kdphone.cpp)
  void EnterRequest(PendingRequest request);
  bool HasPending(tel::HCALL call) const { return pending_.has_call(call); }
  void SetTimer(bool enabled);
  void ContinueDropChain(tel::HCALL call, std::intptr_t length);
  RequestOrigin Origin(int extra_ms = 0) const;

  // phone device (kdphone_device.cpp)
  friend class TExtDev;
  int EnterPhoneRequest(tel::LONG r, RequestKind kind);
  void ApplyPhoneSettings();
  void RaiseHookState();

  // hold and transfer (kdphone_transfer.cpp)
  static int TransferRefusal(tel::LONG r);
  void MarkTransferred(tel::HCALL call, bool transferred);
  int EnterCallRequest(tel::LONG r, tel::HCALL call, RequestKind kind, std::intptr_t param = 0);
  int HoldChecks() const;
  int HoldOrUnhold(bool hold);
  int TwoCallChecks(int a, int b) const;
  void TransferFailed(const PendingRequest& r);

  // consultation (kdphone_consult.cpp)
  TConsults* ConsultOf(tel::HCALL primary);
  TConsults* ConsultByCall(tel::HCALL consult_call);
  TConsults* ConsultByConference(tel::HCALL conference_call);
  TConsults* ConsultByCell(std::intptr_t cell);
  void ForgetConsult(const TConsults& c);  // takes the entry off the list
  bool DispatchConsultation(tel::HCALL call, tel::DWORD state, tel::DWORD mode);
  bool DispatchConference(tel::HCALL call, tel::DWORD state, tel::DWORD mode);
  void ReportConsultState(tel::HCALL call, TConsultCallState state);
  void DialConsultation(tel::HCALL call);
  void RaiseConsultState(TConsultCallState state, int p1, tel::HCALL consult, tel::HCALL primary);
  void ReleaseConsultHandles(tel::HCALL call);
  void CompleteConsultReply(PendingRequest& r, tel::LONG result);
  void ConsultSetupTimedOut(PendingRequest& r);

  // calls (kdphone_calls.cpp)
  int MakeCall(const std::string& number, int user_value, bool pick_up);
  int DropCall(tel::HCALL call);
  int SwitchPassthrough(bool enable, bool fax_rates, messaging::WindowHandle notify);
  CallEntry* FindCall(tel::HCALL call);
  const CallEntry* FindCall(tel::HCALL call) const;
  CallEntry& EnsureCall(tel::HCALL call);
  void RemovePickedUp(tel::HCALL call);
  std::optional<tel::VarBuffer<tel::LINECALLINFO>> ReadCallInfo(tel::HCALL call, int& error);

  // events
  void RaiseLineState(TLineState state, int param);
  void RaiseCallState(TCallState state, int p1, int p2, tel::HCALL call);
  void RaiseBeforeDisconnect(tel::HCALL call);

  tel::TelephonyApi& api_;
  KDPhoneServices services_;
  Relay line_relay_, phone_relay_;
  TMediaMode current_media_mode_ = mmVoice;
  TLinePrivilege current_privilege_ = lpOwner;
  tel::HLINEAPP line_app_ = 0;
  tel::HPHONEAPP phone_app_ = 0;
  tel::HLINE line_ = 0;
  tel::HPHONE phone_ = 0;
  tel::HCALL current_call_ = 0;
  tel::DWORD comm_handle_ = 0;
  tel::HCALL comm_call_ = 0;
  tel::DWORD bearer_mode_ = 1;
  bool passthrough_ = false;
  int line_count_ = 0;
  tel::LINECALLPARAMS call_params_{};
  LineState state_ = LineState::Uninitialised;
  std::optional<messaging::TimePoint> last_fax_tone_;
  std::u16string last_caller_key_, last_called_key_;
  bool silent_ = false;
  bool destroying_ = false;
  std::vector<CallEntry> calls_;
  PendingRequests pending_;
  std::vector<tel::HCALL> picked_up_;
  // Cells of requests that timed out: the service may still write a late reply into them.
  std::multimap<tel::LONG, std::unique_ptr<tel::HCALL>> orphan_cells_;
  std::vector<TConsults> consults_;
  std::optional<bool> reported_on_hook_;  // none until the first report
  std::string display_text_;  // the service reads it after phoneSetDisplay has returned
  std::unique_ptr<TExtDev> aux_, handset_;
  std::unique_ptr<TModemSpeaker> modem_speaker_;
  LineInfo line_info_, probe_info_;
  int line_id_ = 0;
  int wave_rec_id_ = -2, wave_play_id_ = -2;
  int time_out_ = 10000;
  std::string fax_dial_command_;
  bool timer_enabled_ = false;
  messaging::FunctionWindow timer_window_;
};

}  // namespace orvexa::components
