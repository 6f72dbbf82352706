#include "app/records/store_recorder.h"

#include <sodium.h>
#include <unistd.h>

#include <fstream>
#include <vector>

#include "app/records/sqlite_statement.h"
#include "platform/audio/wave_file.h"

namespace orvexa::records {

using namespace campaign;

namespace {

std::int64_t ms(messaging::WallTime t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

std::string filter_text(const std::optional<DateFilterRequest>& f) {
  return f ? f->kind + " " + f->month + "/" + f->day : std::string();
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += (out.empty() ? "" : "\n") + l;
  return out;
}

std::string sha256_hex(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  std::vector<char> buffer(1 << 16);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(buffer.data()),
                              static_cast<unsigned long long>(in.gcount()));
  }
  if (in.bad()) return {};
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state, digest);
  char hex[2 * crypto_hash_sha256_BYTES + 1];
  sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
  return hex;
}

}  // namespace

MessageFacts message_facts(const std::string& path) {
  MessageFacts facts{path, 0, sha256_hex(path)};
  audio::WaveFileInfo info;
  if (audio::read_wave_file(path, info) == audio::WaveProblem::None) facts.seconds = info.seconds();
  return facts;
}

StoreRecorder::StoreRecorder(CallsDatabase& db, const messaging::Clock& clock)
    : db_(db),
      clock_(clock),
      insert_attempt_(std::make_unique<Statement>(
          db.handle(), "INSERT INTO attempts (campaign, id, member, attempt, line, channel, dialled_ms) "
                       "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)")),
      end_attempt_(std::make_unique<Statement>(
          db.handle(), "UPDATE attempts SET answered_ms = ?2, ended_ms = ?3, outcome = ?4, keys = ?5, "
                       "opening_heard_s = ?6, main_heard_s = ?7, line_error = ?8, disconnect_mode = ?9, "
                       "sip_status = ?10, reason = ?11, progress = ?12, retry_at_ms = ?14 "
                       "WHERE campaign = ?13 AND id = ?1")) {}

StoreRecorder::~StoreRecorder() = default;

bool StoreRecorder::fail() {
  problem_ = db_.file().string() + ": " + sqlite3_errmsg(db_.handle());
  execute(db_.handle(), "ROLLBACK");
  return false;
}

bool StoreRecorder::reopen(std::int64_t id) {
  Statement q(db_.handle(), "UPDATE campaigns SET state = 'running', ended_ms = NULL, owner_pid = ?2, "
                            "owner_boot = ?3 WHERE id = ?1");
  if (!q.bind(1, id).bind(2, static_cast<std::int64_t>(::getpid())).bind(3, running_boot()).run()) return fail();
  Statement last(db_.handle(), "SELECT COALESCE(MAX(id), 0) FROM attempts WHERE campaign = ?1");
  last.bind(1, id);
  if (last.step() != SQLITE_ROW) return fail();
  last_attempt_ = last.integer(0);
  open_.clear();
  campaign_ = id;
  return true;
}

bool StoreRecorder::begin(const CampaignDescription& d, const std::vector<CampaignMember>& members) {
  const MessageFacts opening = message_facts(d.opening.path);
  const MessageFacts main = message_facts(d.main.path);
  sqlite3* db = db_.handle();
  if (!execute(db, "BEGIN IMMEDIATE")) return fail();
  Statement q(db, "INSERT INTO campaigns (started_ms, choice, chosen, filter, settings, opening_path, "
                  "opening_seconds, opening_sha256, main_path, main_seconds, main_sha256, lines, state, "
                  "owner_pid, owner_boot) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, "
                  "'running', ?13, ?14)");
  q.bind(1, ms(clock_.wall_now())).bind(2, choice_token(d.choice)).bind(3, d.chosen)
      .bind(4, filter_text(d.filter)).bind(5, d.settings).bind(6, opening.path).bind(7, opening.seconds)
      .bind(8, opening.sha256).bind(9, main.path).bind(10, main.seconds).bind(11, main.sha256)
      .bind(12, joined(d.lines)).bind(13, static_cast<std::int64_t>(::getpid())).bind(14, running_boot());
  if (!q.run()) return fail();
  campaign_ = sqlite3_last_insert_rowid(db);
  last_attempt_ = 0;
  open_.clear();
  if (!insert_members(members) || !execute(db, "COMMIT")) {
    campaign_.reset();
    return fail();
  }
  if (on_begun_) on_begun_(*campaign_);
  return true;
}

bool StoreRecorder::insert_members(const std::vector<CampaignMember>& members) {
  Statement q(db_.handle(), "INSERT INTO members (campaign, position, group_name, gcode, member_row, name, "
                            "family, number) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
  std::int64_t position = 0;
  for (const auto& m : members) {
    q.reset().bind(1, *campaign_).bind(2, position++).bind(3, m.group_name).bind(4, m.gcode)
        .bind(5, m.member_row).bind(6, m.name).bind(7, m.family).bind(8, m.number);
    if (!q.run()) return false;
  }
  return true;
}

bool StoreRecorder::attempt_started(const AttemptStart& s) {
  if (!campaign_) return true;
  insert_attempt_->reset().bind(1, *campaign_).bind(2, last_attempt_ + 1)
      .bind(3, static_cast<std::int64_t>(s.member)).bind(4, s.number).bind(5, s.line).bind(6, s.channel)
      .bind(7, ms(s.dialled));
  if (!insert_attempt_->run()) return fail();
  open_[s.channel] = ++last_attempt_;
  return true;
}

bool StoreRecorder::attempt_ended(const AttemptEnd& e, MemberProgress progress) {
  const auto open = open_.find(e.channel);
  if (!campaign_ || open == open_.end()) return true;
  const std::int64_t attempt = open->second;
  open_.erase(open);
  std::optional<std::int64_t> answered;
  if (e.answered) answered = ms(*e.answered);
  end_attempt_->reset().bind(1, attempt).bind(2, answered).bind(3, ms(e.ended))
      .bind(4, outcome_token(e.outcome)).bind(5, e.keys).bind(6, e.opening_heard_s).bind(7, e.main_heard_s)
      .bind(8, e.cause.line_error).bind(9, static_cast<std::int64_t>(e.cause.disconnect_mode))
      .bind(10, e.cause.sip_status).bind(11, e.cause.reason).bind(12, progress_token(progress))
      .bind(13, *campaign_);
  std::optional<std::int64_t> retry_at;
  if (e.retry_at) retry_at = ms(*e.retry_at);
  end_attempt_->bind(14, retry_at);
  return end_attempt_->run() || fail();
}

void StoreRecorder::attempt_withdrawn(int channel) {
  const auto open = open_.find(channel);
  if (!campaign_ || open == open_.end()) return;
  Statement q(db_.handle(), "DELETE FROM attempts WHERE campaign = ?1 AND id = ?2");
  if (q.bind(1, *campaign_).bind(2, open->second).run() && open->second == last_attempt_) --last_attempt_;
  open_.erase(open);
}

void StoreRecorder::finish(CampaignState state) {
  if (!campaign_) return;
  Statement q(db_.handle(), "UPDATE campaigns SET state = ?2, ended_ms = ?3 WHERE id = ?1");
  if (!q.bind(1, *campaign_).bind(2, state_token(state)).bind(3, ms(clock_.wall_now())).run()) fail();
}

}  // namespace orvexa::records
