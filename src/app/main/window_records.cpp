#include "app/main/window_records.h"

#include <algorithm>
#include <ctime>

#include "app/data/solar_date.h"

namespace orvexa::app {

namespace {

std::string two(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

// "1405/09/18 10:30" in the machine's local time.
std::string solar_moment(std::int64_t ms) {
  const messaging::WallTime when{std::chrono::milliseconds(ms)};
  const std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&t, &local);
  return data::solar_on(when).text() + " " + two(local.tm_hour) + ":" + two(local.tm_min);
}

}  // namespace

WindowRecords::WindowRecords(const std::filesystem::path& program_folder, const messaging::Clock& clock) {
  auto opened = records::CallsDatabase::open(program_folder / records::kCallsFile);
  if (!opened) {
    refusal_ = "فایل ثبت تماس‌ها (" + (program_folder / records::kCallsFile).string() +
               ") قابل استفاده نیست: " + opened.error();
    return;
  }
  db_ = std::move(opened.db);
  recorder_ = std::make_unique<records::StoreRecorder>(*db_, clock);
  dnc_ = std::make_unique<records::DncList>(*db_, clock);
}

// The recorder writes through the database: it goes first.
WindowRecords::~WindowRecords() {
  dnc_.reset();
  recorder_.reset();
}

std::string WindowRecords::run_unrecorded_question() const {
  return refusal_ + "\n\nکارزارها بدون ثبت تماس‌ها انجام شوند؟";
}

std::optional<WindowRecords::Unfinished> WindowRecords::unfinished() {
  if (!db_) return std::nullopt;
  const auto id = db_->unfinished_campaign();
  auto plan = id ? db_->resume_plan(*id) : std::nullopt;
  if (!plan) return std::nullopt;
  const auto left = std::count_if(plan->members.begin(), plan->members.end(), [](const auto& m) {
    return m.progress != campaign::MemberProgress::Done;
  });
  std::string question = "کارزار شماره " + std::to_string(*id) + " که " +
                         solar_moment(plan->campaign.started_ms) +
                         " آغاز شده بود نیمه‌تمام ماند و تماس با " + std::to_string(left) + " نفر از " +
                         std::to_string(plan->members.size()) +
                         " نفر آن مانده است.\n\nاین کارزار ادامه یابد؟";
  return Unfinished{std::move(*plan), std::move(question)};
}

}  // namespace orvexa::app
