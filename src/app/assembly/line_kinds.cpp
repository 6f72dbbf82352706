#include "app/assembly/line_kinds.h"

#include "platform/sip/sip_config.h"
#include "platform/sip/sip_provider.h"
#include "platform/telephony/sim_audio.h"
#include "platform/telephony/sim_config.h"
#include "platform/telephony/sim_provider.h"

namespace orvexa::assembly {

namespace {

class SimLines final : public LineKind {
 public:
  SimLines(const LineKindContext& context, telephony::SimConfig config)
      : sim_(context.loop, std::move(config)) {
    // One pair of devices per channel, so calls on one line never hear each other's messages.
    telephony::attach_sim_audio(sim_, context.audio);
  }
  telephony::LineProvider& provider() override { return sim_; }

 private:
  telephony::SimProvider sim_;
};

class SipLines final : public LineKind {
 public:
  SipLines(const LineKindContext& context, std::vector<sip::SipLineConfig> lines)
      : sip_(context.loop, context.audio, std::move(lines), options(context)) {}
  telephony::LineProvider& provider() override { return sip_; }
  std::string device_state(std::size_t device) const override {
    return sip::describe(sip_.registration(device));
  }
  void settle(messaging::Loop& loop, std::size_t device, messaging::Duration limit) override {
    loop.run_until([&] { return device_state(device) != "registering"; }, limit);
  }

 private:
  static sip::SipProvider::Options options(const LineKindContext& context) {
    sip::SipProvider::Options o;
    o.on_send_spacing = context.sip_send_spacing;
    return o;
  }
  sip::SipProvider sip_;
};

MadeLines make_sim(const LineKindContext& context, const std::vector<telephony::LineTable>& tables) {
  MadeLines made;
  telephony::SimReadResult read =
      telephony::read_sim_config(*context.config.root, tables, context.config.file.parent_path());
  const std::string name = context.config.file.filename().string() + ": ";
  for (auto& e : read.line_errors) made.line_errors.push_back(name + e.text);
  if (!read.config) {
    made.file_error = name + read.error;
    return made;
  }
  if (!read.config->lines.empty())
    made.lines = std::make_unique<SimLines>(context, std::move(*read.config));
  return made;
}

MadeLines make_sip(const LineKindContext& context, const std::vector<telephony::LineTable>& tables) {
  MadeLines made;
  if (tables.empty()) return made;
  sip::SipConfigResult read =
      sip::read_sip_lines(tables, context.config.file.string(), context.config.password_exposed);
  for (auto& e : read.errors) made.line_errors.push_back(std::move(e.text));
  if (read.lines.empty()) return made;
  if (!context.real_time) {
    made.line_errors.push_back("sip lines are left out with --fast: they need real time");
    return made;
  }
  made.lines = std::make_unique<SipLines>(context, std::move(read.lines));
  return made;
}

}  // namespace

std::vector<LineKindEntry> standard_line_kinds() {
  return {{"sim", make_sim}, {"sip", make_sip}};
}

MadeLines make_default_sim_lines(const LineKindContext& context) {
  MadeLines made;
  made.lines = std::make_unique<SimLines>(context, telephony::default_sim_config());
  return made;
}

}  // namespace orvexa::assembly
