// The line service: the telephony functions over every registered provider's line devices,
// with callbacks delivered on the loop through the service's own hidden window.
//
//   LineService service(loop);
//   SimProvider sim(loop, config);  service.add_provider(sim);
//   KDPhone phone(loop, service, host);  phone.LineActive(0, true);
//
// Devices are numbered in the order providers were added. Every dial string is checked here
// before a provider sees it; refusals are LINEERR_* values, never exceptions.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/dsp/tone_monitor.h"
#include "platform/messaging/hidden_window.h"
#include "platform/telephony/line_provider.h"
#include "platform/telephony/telephony_api.h"

namespace orvexa::telephony {

class LineService final : public TelephonyApi, private ProviderEvents {
 public:
  explicit LineService(messaging::Loop& loop);
  ~LineService() override;

  // The provider must outlive the service (or be removed with it at the end of the program).
  void add_provider(LineProvider& provider);
  std::size_t device_count() const { return devices_.size(); }
  // Which provider serves device `device`, and its own index there.
  std::optional<std::pair<LineProvider*, std::size_t>> provider_of(DWORD device) const;
  // Counters for tests and benchmarks: what the service still holds.
  std::size_t open_calls() const { return calls_.size(); }
  std::size_t pending_requests() const { return requests_.size(); }
  std::size_t queued_notifications() const { return queue_.size(); }
  std::size_t monitored_tone_calls() const { return tone_monitors_.size(); }

  LONG lineInitializeExW(HLINEAPP* app, LINECALLBACK callback, DWORD* num_devs,
                         DWORD* api_version, LINEINITIALIZEEXPARAMS* params) override;
  LONG lineInitialize(HLINEAPP* app, LINECALLBACK callback, DWORD* num_devs) override;
  LONG lineShutdown(HLINEAPP app) override;
  LONG lineNegotiateAPIVersion(HLINEAPP app, DWORD device, DWORD low, DWORD high, DWORD* version,
                               LINEEXTENSIONID* extension) override;
  LONG lineGetDevCaps(HLINEAPP app, DWORD device, DWORD version, DWORD ext_version,
                      LINEDEVCAPS* caps) override;
  LONG lineGetAddressCaps(HLINEAPP app, DWORD device, DWORD address, DWORD version,
                          DWORD ext_version, LINEADDRESSCAPS* caps) override;
  LONG lineOpen(HLINEAPP app, DWORD device, HLINE* line, DWORD version, DWORD ext_version,
                DWORD_PTR instance, DWORD privileges, DWORD media_modes,
                const LINECALLPARAMS* params) override;
  LONG lineClose(HLINE line) override;
  LONG lineSetStatusMessages(HLINE line, DWORD line_states, DWORD address_states) override;
  LONG lineMakeCall(HLINE line, HCALL* call, const char* dest_address, DWORD country_code,
                    const LINECALLPARAMS* params) override;
  LONG lineDial(HCALL call, const char* dest_address, DWORD country_code) override;
  LONG lineAnswer(HCALL call, const char* user_user_info, DWORD size) override;
  LONG lineDrop(HCALL call, const char* user_user_info, DWORD size) override;
  LONG lineHold(HCALL call) override;
  LONG lineUnhold(HCALL call) override;
  LONG lineBlindTransfer(HCALL call, const char* dest_address, DWORD country_code) override;
  LONG lineSetupTransfer(HCALL call, HCALL* consult_call, const LINECALLPARAMS* params) override;
  LONG lineSetupConference(HCALL call, HLINE line, HCALL* conference_call, HCALL* consult_call,
                           DWORD parties, const LINECALLPARAMS* params) override;
  LONG lineCompleteTransfer(HCALL call, HCALL consult_call, HCALL* conference_call,
                            DWORD transfer_mode) override;
  LONG lineAddToConference(HCALL conference_call, HCALL consult_call) override;
  LONG lineDeallocateCall(HCALL call) override;
  LONG lineGetCallInfo(HCALL call, LINECALLINFO* info) override;
  LONG lineGetCallStatus(HCALL call, LINECALLSTATUS* status) override;
  LONG lineGetID(HLINE line, DWORD address, HCALL call, DWORD select, VARSTRING* id,
                 const char* device_class) override;
  LONG lineMonitorDigits(HCALL call, DWORD digit_modes) override;
  LONG lineMonitorMedia(HCALL call, DWORD media_modes) override;
  LONG lineMonitorTones(HCALL call, const LINEMONITORTONE* list, DWORD count) override;
  LONG lineGenerateDigits(HCALL call, DWORD digit_mode, const char* digits,
                          DWORD duration) override;
  LONG lineSetCallParams(HCALL call, DWORD bearer_mode, DWORD min_rate, DWORD max_rate,
                         const LINEDIALPARAMS* dial_params) override;
  LONG lineGetDevConfig(DWORD device, VARSTRING* config, const char* device_class) override;
  LONG lineSetDevConfig(DWORD device, const void* config, DWORD size,
                        const char* device_class) override;
  LONG lineConfigDialog(DWORD device, DWORD_PTR owner, const char* device_class) override;
  void closeCommHandle(DWORD) override {}

  LONG phoneInitializeExW(HPHONEAPP* app, LINECALLBACK callback, DWORD* num_devs,
                          DWORD* api_version, LINEINITIALIZEEXPARAMS* params) override;
  LONG phoneInitialize(HPHONEAPP* app, LINECALLBACK callback, DWORD* num_devs) override;
  LONG phoneShutdown(HPHONEAPP app) override;
  LONG phoneNegotiateAPIVersion(HPHONEAPP app, DWORD device, DWORD low, DWORD high,
                                DWORD* version, LINEEXTENSIONID* extension) override;
  LONG phoneGetDevCaps(HPHONEAPP app, DWORD device, DWORD version, DWORD ext_version,
                       PHONECAPS* caps) override;
  LONG phoneOpen(HPHONEAPP app, DWORD device, HPHONE* phone, DWORD version, DWORD ext_version,
                 DWORD_PTR instance, DWORD privilege) override;
  LONG phoneClose(HPHONE phone) override;
  LONG phoneSetStatusMessages(HPHONE phone, DWORD phone_states, DWORD button_modes,
                              DWORD button_states) override;
  LONG phoneSetRing(HPHONE phone, DWORD ring_mode, DWORD volume) override;
  LONG phoneGetRing(HPHONE phone, DWORD* ring_mode, DWORD* volume) override;
  LONG phoneSetLamp(HPHONE phone, DWORD lamp, DWORD mode) override;
  LONG phoneGetLamp(HPHONE phone, DWORD lamp, DWORD* mode) override;
  LONG phoneSetDisplay(HPHONE phone, DWORD row, DWORD column, const char* text,
                       DWORD size) override;
  LONG phoneGetDisplay(HPHONE phone, VARSTRING* display) override;
  LONG phoneSetHookSwitch(HPHONE phone, DWORD devices, DWORD mode) override;
  LONG phoneSetVolume(HPHONE phone, DWORD device, DWORD volume) override;
  LONG phoneSetGain(HPHONE phone, DWORD device, DWORD gain) override;
  LONG phoneGetStatus(HPHONE phone, PHONESTATUS* status) override;

  // The phone device of line device `device`, or null; phone devices are numbered in the order
  // of their lines.
  PhoneDevice* phone_of_line(DWORD device) const;

 private:
  struct Device {
    LineProvider* provider;
    std::size_t index;
  };
  struct OpenLine {
    HLINEAPP app;
    DWORD device;
    DWORD_PTR instance;
    DWORD privileges;
  };
  struct Call {
    HLINE line;
    DWORD device;
    DWORD state = 0;
    DWORD mode = 0;                 // of the state, as the provider reported it
    messaging::WallTime entered{};  // when the call entered its state
    DWORD bearer_mode = LINEBEARERMODE_VOICE;
    DWORD media_mode = LINEMEDIAMODE_INTERACTIVEVOICE;
    bool announced = false;  // the application has been told of it (reply or first state)
  };
  struct Request {
    HLINE line;
    HCALL* cell = nullptr;  // the caller's cell for a new call
    HCALL new_call = 0;
    HCALL* cell2 = nullptr;  // a second new call (the consultation call of a conference set-up)
    HCALL new_call2 = 0;
  };
  struct Notification {
    HLINE line;  // delivered only while this line is open
    DWORD device_handle, message;
    DWORD_PTR p1, p2, p3;
    RequestId request = 0;  // LINE_REPLY: the request it answers
    HPHONE phone = 0;       // a phone notification, delivered only while this phone is open
  };
  struct PhoneSlot {
    DWORD line_device;
    PhoneDevice* device;
  };
  struct OpenPhone {
    HPHONEAPP app;
    DWORD id;  // index into phones_
    DWORD_PTR instance;
    DWORD mask = 0;  // PHONESTATE_* bits reported
  };

  // ProviderEvents
  void reply(RequestId request, LONG result) override;
  void call_state(HCALL call, DWORD state, DWORD mode) override;
  HCALL incoming_call(const LineProvider& provider, std::size_t device,
                      const CallDetails& details) override;
  void ringing(const LineProvider& provider, std::size_t device) override;
  void call_info_changed(HCALL call, DWORD states) override;
  void digit(HCALL call, char digit, DWORD mode) override;
  void media(HCALL call, DWORD media_mode) override;
  void received_audio(HCALL call, std::span<const std::int16_t> samples) override;

  Call* find_call(HCALL call);
  const LineDeviceDescription* description(DWORD device) const;
  std::optional<DWORD> device_of(const LineProvider& provider, std::size_t index) const;
  HLINE owner_line(DWORD device) const;
  RequestId new_request(HLINE line, HCALL* cell = nullptr, HCALL new_call = 0);
  RequestId next_request_number();
  // The version both sides speak within [low, high], or false when there is none.
  static bool agree_version(DWORD low, DWORD high, DWORD& version, LINEEXTENSIONID& extension);
  HCALL new_call_handle(const Call& record);
  void forget_new_calls(const Request& r);
  OpenPhone* open_phone(HPHONE phone);
  // Runs a set request on the phone: refusals at once, otherwise a reply and the state reports.
  template <class Apply>
  LONG phone_request(HPHONE phone, Apply apply);
  void deliver_phone(const Notification& n);
  void enqueue(Notification n);
  void deliver_next();
  void forget_requests_of(HLINE line);
  // The call's tone monitoring ends (idle, deallocated, line closed, or cancelled).
  void stop_tone_monitor(HCALL call, bool tell_provider);
  LONG start(HCALL call, LONG accepted, RequestId request);

  messaging::Loop& loop_;
  messaging::FunctionWindow window_;
  std::vector<Device> devices_;
  std::vector<PhoneSlot> phones_;
  std::map<HPHONE, OpenPhone> open_phones_;
  std::map<HLINEAPP, LINECALLBACK> line_apps_;
  std::map<HPHONEAPP, LINECALLBACK> phone_apps_;
  std::map<HLINE, OpenLine> lines_;
  std::map<HCALL, Call> calls_;
  std::map<RequestId, Request> requests_;
  std::deque<Notification> queue_;
  // Calls whose received audio runs through the tones they monitor (lineMonitorTones).
  std::map<HCALL, std::unique_ptr<dsp::ToneMonitor>> tone_monitors_;
  static constexpr DWORD kMaxMonitoredTones = 4;  // entries of one lineMonitorTones list
  DWORD next_app_ = 1, next_line_ = 1, next_call_ = 0x100, next_phone_ = 1;
  RequestId next_request_ = 1;
};

}  // namespace orvexa::telephony
