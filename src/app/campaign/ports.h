// What the call flow and the campaign need from the world around them: the line, the voice
// device, the members to call, the window and the operator. The window, the headless runner and
// the tests each supply their own; adapters bind the first two to KDPhone and KDVoice.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvexa::campaign {

// The line component's call states that the call flow acts on; everything else is Other.
enum class CallEvent { Dialing, Connected, Busy, RemoteDisconnected, Disconnected, Ring, Error, Other };

// The voice component's sound states that the call flow acts on.
enum class SoundEvent { PlayBegin, PlayDone, RecBegin, RecDone, Error, Other };

// Why a call ended as it did, as the line reported it.
struct CallCause {
  int line_error = 0;       // the component's error number of a refused dial
  unsigned disconnect_mode = 0;  // LINEDISCONNECTMODE_* of the far end's disconnect
  int sip_status = 0;       // the final SIP status of an unanswered call, 0 if none
  std::string reason;       // its reason phrase, or the transport's complaint

  // "line error 2", "486 Busy Here", "no answer from the network": empty when nothing is known.
  std::string text() const;
  friend bool operator==(const CallCause&, const CallCause&) = default;
};

// Results are the component's error numbers: 0 is success.
class LinePort {
 public:
  virtual ~LinePort() = default;
  virtual int dial(const std::string& number) = 0;
  // May let the message loop run before it returns; a no-op without a call.
  virtual void hangup() = 0;
  virtual void answer() = 0;
  // The wave output of the active line.
  virtual int wave_play_id() = 0;
  // Makes `device` the active line (closing the one before); 0 on success.
  virtual int activate(int device) = 0;
  virtual int active_device() const = 0;
  virtual int number_of_lines() = 0;
  virtual std::string line_name(int device) = 0;
  // The capability word of a line device; 0 on success.
  virtual int line_caps(int device, int& caps) = 0;
  // How many calls a line device carries at once; 1 when it cannot tell.
  virtual int channels(int /*device*/) { return 1; }
  // Whether a dial's error says the line carries all the calls it can already.
  virtual bool refused_for_capacity(int /*error*/) const { return false; }
  // Why the last call ended, as far as the line could tell (read before the next dial).
  virtual CallCause call_cause() const { return {}; }
};

// A machine without a usable line device: every request fails, as the component's would.
class NoLine final : public LinePort {
 public:
  static constexpr int kNoDevice = 2;
  int dial(const std::string&) override { return kNoDevice; }
  void hangup() override {}
  void answer() override {}
  int wave_play_id() override { return -2; }
  int activate(int) override { return kNoDevice; }
  int active_device() const override { return -1; }
  int number_of_lines() override { return 0; }
  std::string line_name(int) override { return {}; }
  int line_caps(int, int&) override { return kNoDevice; }
};

class VoicePort {
 public:
  virtual ~VoicePort() = default;
  // device -1: the preferred wave device.
  virtual int play(int device, const std::string& file) = 0;
  // Reports PlayDone before it returns when something was playing; may let the loop run.
  virtual void play_stop() = 0;
  virtual int rec(int device, const std::string& file) = 0;
  virtual void rec_stop() = 0;
  virtual std::string error_text(int error) = 0;
  // The device a voice message is recorded from: `device`, or the preferred one for -1. Nullopt
  // when there is none, or when it would be a line's audio (which only a call carries).
  virtual std::optional<int> message_capture_device(int device) { return device; }
};

// A machine without wave devices.
class NoVoice final : public VoicePort {
 public:
  static constexpr int kNoDevice = 2;
  int play(int, const std::string&) override { return kNoDevice; }
  void play_stop() override {}
  int rec(int, const std::string&) override { return kNoDevice; }
  void rec_stop() override {}
  std::string error_text(int) override { return "no wave device"; }
  std::optional<int> message_capture_device(int) override { return std::nullopt; }
};

struct GroupRow {
  std::string gname;
  std::string gcode;  // names the group's member table
};

// Which member date a campaign is limited to, with the typed month and day.
struct DateFilterRequest {
  std::string kind;  // birthday, marriage, contract, instalments
  std::string month;
  std::string day;
};

// A member as the member source gives it; a campaign copies it.
struct MemberToCall {
  std::optional<std::int64_t> row;  // the member's row in its group's table
  std::string name, family;
  std::string number;
};

class MemberSource {
 public:
  virtual ~MemberSource() = default;
  // The groups in list order (code <> 0).
  virtual std::vector<GroupRow> groups() = 0;
  // A group's members, in table order, with the filter in force; nullopt and `error` set when
  // the table cannot be opened.
  virtual std::optional<std::vector<MemberToCall>> open_members(const std::string& gcode,
                                                                std::string& error) = 0;
  // False when the date is incomplete or invalid; the filter then stays off.
  virtual bool set_filter(const DateFilterRequest& filter) = 0;
  virtual void clear_filter() = 0;
};

// The do-not-call list. Numbers are compared as the list normalises them.
class DoNotCall {
 public:
  virtual ~DoNotCall() = default;
  virtual bool listed(const std::string& number) = 0;
  // False when the list could not take it (the store's problem); the campaign goes on.
  virtual bool add(const std::string& number, std::string_view reason) = 0;
};

// The operator: modal boxes in the window, standard error headless, a record in tests.
class OperatorDialogs {
 public:
  virtual ~OperatorDialogs() = default;
  virtual void message_box(std::string_view text) = 0;
  // The application's standard error box (database and file errors).
  virtual void error_box(std::string_view text) = 0;
};

// The window's side of a campaign. Headless, all of it may do nothing.
class CampaignView {
 public:
  virtual ~CampaignView() = default;
  // Activity indicator and its step timer.
  virtual void show_activity(bool) {}
  // Running: page control and start button disabled, stop button visible; idle: the reverse.
  virtual void set_running(bool) {}
  virtual void set_labels(const std::string& /*b1*/, const std::string& /*b2*/,
                          const std::string& /*b3*/) {}
  virtual void set_gauge(int /*maximum*/, int /*progress*/) {}
  virtual void set_number(const std::string& /*num*/) {}
  virtual void focus_sink() {}
  virtual void enable_message_buttons() {}
  // "YYYY/MM/DD" and "hh:mm" as the status bar shows them now.
  virtual std::string solar_date_text() = 0;
  virtual std::string time_text() = 0;
  // Closes the main window, which writes the report; the power-off waits for it.
  virtual void close_main_window() {}
};

}  // namespace orvexa::campaign
