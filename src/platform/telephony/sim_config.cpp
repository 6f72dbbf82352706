#include "platform/telephony/sim_config.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <toml++/toml.h>

#include "platform/telephony/dial_string.h"
#include "platform/telephony/line_tables.h"

namespace orvexa::telephony {

namespace {

// Carries the first problem found; every reader returns false once there is one.
struct Reader {
  std::string where;  // "line 2 (\"Office\")"
  std::string error;
  std::filesystem::path folder = {};  // where relative file names are found

  bool fail(std::string_view key, std::string_view what) {
    if (error.empty()) error = where + ": key '" + std::string(key) + "': " + std::string(what);
    return false;
  }
  bool only_keys(const toml::table& t, std::initializer_list<std::string_view> known) {
    std::set<std::string_view> allowed(known);
    for (auto&& [k, v] : t)
      if (!allowed.contains(k.str())) return fail(k.str(), "unknown key");
    return true;
  }
  bool text(const toml::table& t, std::string_view key, std::string& out) {
    const toml::node* n = t.get(key);
    if (!n) return true;
    auto v = n->value_exact<std::string>();
    if (!v) return fail(key, "must be a string");
    out = *v;
    return true;
  }
  bool millis(const toml::table& t, std::string_view key, std::chrono::milliseconds& out,
              bool allow_zero) {
    const toml::node* n = t.get(key);
    if (!n) return true;
    auto v = n->value_exact<std::int64_t>();
    if (!v || *v < (allow_zero ? 0 : 1) || *v > 86'400'000)
      return fail(key, allow_zero ? "must be milliseconds from 0 to 86400000"
                                  : "must be milliseconds from 1 to 86400000");
    out = std::chrono::milliseconds(*v);
    return true;
  }
  bool optional_millis(const toml::table& t, std::string_view key,
                       std::optional<std::chrono::milliseconds>& out) {
    if (!t.get(key)) return true;
    std::chrono::milliseconds value{};
    if (!millis(t, key, value, true)) return false;
    out = value;
    return true;
  }
  bool seconds(const toml::table& t, std::string_view key, std::optional<double>& out) {
    const toml::node* n = t.get(key);
    if (!n) return true;
    auto v = n->value<double>();
    if (!v || !(*v >= 0) || *v > 86400) return fail(key, "must be seconds from 0 to 86400");
    out = *v;
    return true;
  }
  bool whole(const toml::table& t, std::string_view key, int lowest, int highest, int& out) {
    const toml::node* n = t.get(key);
    if (!n) return true;
    auto v = n->value_exact<std::int64_t>();
    if (!v || *v < lowest || *v > highest)
      return fail(key, "must be a whole number from " + std::to_string(lowest) + " to " +
                           std::to_string(highest));
    out = static_cast<int>(*v);
    return true;
  }
  bool count(const toml::table& t, std::string_view key, int& out) {
    return whole(t, key, 0, 1000, out);
  }
  bool flag(const toml::table& t, std::string_view key, bool& out) {
    const toml::node* n = t.get(key);
    if (!n) return true;
    auto v = n->value_exact<bool>();
    if (!v) return fail(key, "must be true or false");
    out = *v;
    return true;
  }
  bool frequency(const toml::table& t, std::string_view key, double& out) {
    const toml::node* n = t.get(key);
    if (!n) return true;
    auto v = n->value<double>();
    if (!v || !(*v >= 0) || *v > 3900) return fail(key, "must be a frequency from 0 to 3900 Hz");
    out = *v;
    return true;
  }
  bool sound(const toml::table& t, std::string_view key, std::string& name,
             std::shared_ptr<const LoopSound>& out) {
    if (!text(t, key, name) || name.empty()) return error.empty();
    std::filesystem::path file(name);
    if (file.is_relative() && !folder.empty()) file = folder / file;
    std::string problem;
    out = load_loop_sound(file, problem);
    return out ? true : fail(key, name + ": " + problem);
  }
  bool number(const toml::table& t, std::string_view key, std::string& out) {
    if (!text(t, key, out)) return false;
    if (!is_plausible_dial_string(out)) return fail(key, "is not a telephone number");
    return true;
  }
};

bool outcome_named(std::string_view name, FarEndOutcome& out);

bool read_outcomes(Reader& r, const toml::table& t, std::vector<FarEndOutcome>& out) {
  const toml::node* n = t.get("outcomes");
  if (!n) return true;
  const toml::array* list = n->as_array();
  if (!list || list->empty() || list->size() > 100)
    return r.fail("outcomes", "must be a list of 1 to 100 outcome names");
  for (const toml::node& item : *list) {
    auto name = item.value_exact<std::string>();
    FarEndOutcome o{};
    if (!name || !outcome_named(*name, o))
      return r.fail("outcomes", "each must be answer, busy, no-answer, reject or unreachable");
    out.push_back(o);
  }
  return true;
}

bool outcome_named(std::string_view name, FarEndOutcome& out) {
  static constexpr FarEndOutcome kAll[] = {FarEndOutcome::Answer, FarEndOutcome::Busy,
                                           FarEndOutcome::NoAnswer, FarEndOutcome::Reject,
                                           FarEndOutcome::Unreachable};
  for (FarEndOutcome o : kAll)
    if (outcome_name(o) == name) {
      out = o;
      return true;
    }
  return false;
}

bool read_outcome(Reader& r, const toml::table& t, FarEndOutcome& out) {
  std::string name;
  if (!r.text(t, "outcome", name)) return false;
  if (name.empty() || outcome_named(name, out)) return true;
  return r.fail("outcome", "must be answer, busy, no-answer, reject or unreachable");
}

bool read_keys(Reader& r, const toml::table& t, std::vector<FarEndKey>& out) {
  const toml::node* n = t.get("keys");
  if (!n) return true;
  const toml::array* list = n->as_array();
  if (!list) return r.fail("keys", "must be a list of { key = \"1\", at = ms } tables");
  for (const toml::node& item : *list) {
    const toml::table* k = item.as_table();
    if (!k) return r.fail("keys", "must be a list of { key = \"1\", at = ms } tables");
    Reader inner{r.where + ", keys[" + std::to_string(out.size()) + "]", ""};
    FarEndKey key;
    std::string name;
    bool ok = inner.only_keys(*k, {"key", "at", "after_heard"}) && inner.text(*k, "key", name) &&
              inner.optional_millis(*k, "at", key.at) &&
              inner.seconds(*k, "after_heard", key.after_heard_seconds);
    if (ok && (name.size() != 1 || std::string_view("0123456789*#ABCD").find(name[0]) ==
                                       std::string_view::npos))
      ok = inner.fail("key", "must be one of 0-9, *, #, A-D");
    if (ok && key.at.has_value() == key.after_heard_seconds.has_value())
      ok = inner.fail("at", "give exactly one of 'at' and 'after_heard'");
    if (!ok) {
      r.error = inner.error;
      return false;
    }
    key.key = name[0];
    out.push_back(key);
  }
  return true;
}

// hz = 440 or hz = [350, 440]: one to three frequencies.
bool read_tone_hz(Reader& r, const toml::table& t, std::vector<double>& out) {
  constexpr std::string_view kWhat = "must be a frequency from 1 to 3900 Hz or a list of 1 to 3";
  const toml::node* n = t.get("hz");
  if (!n) return r.fail("hz", "is missing");
  const toml::array* list = n->as_array();
  if (list && (list->empty() || list->size() > 3)) return r.fail("hz", kWhat);
  auto take = [&](const toml::node& item) {
    auto v = item.value<double>();
    if (!v || !(*v >= 1) || *v > 3900) return r.fail("hz", kWhat);
    out.push_back(*v);
    return true;
  };
  if (!list) return take(*n);
  for (const toml::node& item : *list)
    if (!take(item)) return false;
  return true;
}

bool read_tones(Reader& r, const toml::table& t, std::vector<FarEndTone>& out) {
  constexpr std::string_view kWhat = "must be a list of { hz = 440, at = ms, ms = ms } tables";
  const toml::node* n = t.get("tones");
  if (!n) return true;
  const toml::array* list = n->as_array();
  if (!list) return r.fail("tones", kWhat);
  for (const toml::node& item : *list) {
    const toml::table* k = item.as_table();
    if (!k) return r.fail("tones", kWhat);
    Reader inner{r.where + ", tones[" + std::to_string(out.size()) + "]", ""};
    FarEndTone tone;
    bool ok = inner.only_keys(*k, {"hz", "at", "ms"}) && read_tone_hz(inner, *k, tone.hz);
    for (const char* key : {"at", "ms"})
      if (ok && !k->get(key)) ok = inner.fail(key, "is missing");
    ok = ok && inner.millis(*k, "at", tone.at, true) && inner.millis(*k, "ms", tone.length, false);
    if (!ok) {
      r.error = inner.error;
      return false;
    }
    out.push_back(std::move(tone));
  }
  return true;
}

bool read_far_end(Reader& r, const toml::table& t, FarEnd& out, bool needs_number) {
  std::string digits;
  bool ok = r.only_keys(t, {"number", "outcome", "outcomes", "rings", "keys", "hangup_at",
                            "hangup_after_heard", "dtmf", "tone", "tones", "status"}) &&
            r.number(t, "number", out.number) && read_outcome(r, t, out.outcome) &&
            read_outcomes(r, t, out.outcomes) &&
            r.count(t, "rings", out.rings) && read_keys(r, t, out.keys) &&
            r.optional_millis(t, "hangup_at", out.hangup_at) &&
            r.seconds(t, "hangup_after_heard", out.hangup_after_heard_seconds) &&
            r.text(t, "dtmf", digits) && r.frequency(t, "tone", out.tone_hz) &&
            read_tones(r, t, out.tones) && r.text(t, "status", out.status);
  if (!ok) return false;
  if (out.status.size() > 80) return r.fail("status", "must be at most 80 bytes");
  if (needs_number && out.number.empty()) return r.fail("number", "is missing");
  if (digits == "inband") out.digits = DigitPath::InBand;
  else if (digits.empty() || digits == "notify") out.digits = DigitPath::Notification;
  else return r.fail("dtmf", "must be \"notify\" or \"inband\"");
  return true;
}

bool read_line(Reader& r, const toml::table& t, SimLine& line) {
  if (!r.only_keys(t, {"name", "number", "ring_timeout", "never_reply", "incoming", "kind",
                       "phone", "hold_music", "channels"}) ||
      !r.text(t, "name", line.name) || !r.number(t, "number", line.number) ||
      !r.millis(t, "ring_timeout", line.ring_timeout, false) ||
      !r.flag(t, "never_reply", line.never_reply) || !r.flag(t, "phone", line.phone) ||
      !r.whole(t, "channels", 1, kMaxSimChannels, line.channels) ||
      !r.sound(t, "hold_music", line.hold_music, line.hold_music_sound))
    return false;
  const toml::node* in = t.get("incoming");
  if (!in) return true;
  const toml::array* list = in->as_array();
  if (!list) return r.fail("incoming", "must be a list of [[line.incoming]] tables");
  for (const toml::node& item : *list) {
    const toml::table* c = item.as_table();
    if (!c) return r.fail("incoming", "must be a list of [[line.incoming]] tables");
    Reader inner{r.where + ", incoming " + std::to_string(line.incoming.size() + 1), ""};
    IncomingCall call;
    toml::table behaviour = *c;
    for (std::string_view k : {"at", "name", "rings"}) behaviour.erase(k);
    bool ok = inner.millis(*c, "at", call.at, true) && inner.text(*c, "name", call.name) &&
              inner.count(*c, "rings", call.rings) &&
              read_far_end(inner, behaviour, call.behaviour, true);
    if (!ok) {
      r.error = inner.error;
      return false;
    }
    call.number = call.behaviour.number;
    line.incoming.push_back(std::move(call));
  }
  return true;
}

bool read_timing(Reader& r, const toml::table& t, SimTiming& timing) {
  return r.only_keys(t, {"dialing", "proceeding", "ringback", "ring", "transfer_talk"}) &&
         r.millis(t, "transfer_talk", timing.transfer_talk, true) &&
         r.millis(t, "dialing", timing.dialing, true) &&
         r.millis(t, "proceeding", timing.proceeding, true) &&
         r.millis(t, "ringback", timing.ringback, true) && r.millis(t, "ring", timing.ring, false);
}

}  // namespace

std::string_view outcome_name(FarEndOutcome outcome) {
  switch (outcome) {
    case FarEndOutcome::Answer: return "answer";
    case FarEndOutcome::Busy: return "busy";
    case FarEndOutcome::NoAnswer: return "no-answer";
    case FarEndOutcome::Reject: return "reject";
    case FarEndOutcome::Unreachable: return "unreachable";
  }
  return "answer";
}

FarEnd SimConfig::far_end_for_attempt(std::string_view dialled, std::size_t attempt) const {
  FarEnd far = far_end_for(dialled);
  if (!far.outcomes.empty())
    far.outcome = far.outcomes[std::min(attempt, far.outcomes.size() - 1)];
  return far;
}

const FarEnd& SimConfig::far_end_for(std::string_view dialled) const {
  std::string plain;
  for (char c : dialled)
    if (c != ' ') plain.push_back(c);
  for (const FarEnd& f : far_ends) {
    std::string mine;
    for (char c : f.number)
      if (c != ' ') mine.push_back(c);
    if (mine == plain) return f;
  }
  return default_far_end;
}

SimConfig default_sim_config() {
  SimConfig config;
  SimLine line;
  line.name = "Simulated line 1";
  line.number = "100";
  config.lines.push_back(line);
  return config;
}

SimReadResult read_sim_config(const toml::table& root, const std::vector<LineTable>& lines,
                              const std::filesystem::path& folder) {
  SimReadResult out;
  SimConfig config;
  Reader top{"top level", ""};
  if (!top.only_keys(root, {"timing", "line", "far_end", "default_far_end", "sip"}))
    return out.whole_file(top.error);
  if (const toml::node* n = root.get("timing")) {
    Reader r{"[timing]", ""};
    if (!n->as_table()) return out.whole_file("[timing]: must be a table");
    if (!read_timing(r, *n->as_table(), config.timing)) return out.whole_file(r.error);
  }
  for (const LineTable& table : lines) {
    SimLine line;
    line.name = "Simulated line " + std::to_string(config.lines.size() + 1);
    Reader r{line_where(table), "", folder};
    if (!read_line(r, *table.table, line)) {
      out.line_errors.push_back({table.index, r.error});
      continue;
    }
    config.lines.push_back(std::move(line));
  }
  if (!root.get("line")) config.lines = default_sim_config().lines;
  if (const toml::node* n = root.get("far_end")) {
    const toml::array* list = n->as_array();
    if (!list) return out.whole_file("far_end: must be a list of [[far_end]] tables");
    for (const toml::node& item : *list) {
      const std::string where = "far_end " + std::to_string(config.far_ends.size() + 1);
      const toml::table* t = item.as_table();
      if (!t) return out.whole_file(where + ": must be a [[far_end]] table");
      Reader r{where, ""};
      FarEnd f;
      if (!read_far_end(r, *t, f, true)) return out.whole_file(r.error);
      config.far_ends.push_back(std::move(f));
    }
  }
  if (const toml::node* n = root.get("default_far_end")) {
    Reader r{"[default_far_end]", ""};
    if (!n->as_table()) return out.whole_file("[default_far_end]: must be a table");
    if (!read_far_end(r, *n->as_table(), config.default_far_end, false))
      return out.whole_file(r.error);
  }
  out.config = std::move(config);
  return out;
}

SimConfigResult parse_sim_config(std::string_view text, const std::filesystem::path& folder) {
  toml::table root;
  try {
    root = toml::parse(text);
  } catch (const toml::parse_error& e) {
    std::ostringstream out;
    out << "line " << e.source().begin.line << " of the file: " << e.description();
    return {std::nullopt, out.str()};
  }
  LineTablesResult tables = line_tables(root);
  if (!tables.error.empty()) return {std::nullopt, tables.error};
  if (!tables.line_errors.empty()) return {std::nullopt, tables.line_errors.front().text};
  std::vector<LineTable> sim;
  for (const LineTable& t : tables.tables) {
    if (t.kind == "sip") continue;  // served by the SIP provider
    if (t.kind != "sim")
      return {std::nullopt, line_where(t) + ": key 'kind': must be \"sim\" or \"sip\""};
    sim.push_back(t);
  }
  SimReadResult read = read_sim_config(root, sim, folder);
  if (!read.error.empty()) return {std::nullopt, read.error};
  if (!read.line_errors.empty()) return {std::nullopt, read.line_errors.front().text};
  return {std::move(read.config), ""};
}

}  // namespace orvexa::telephony
