// The window's campaign records: calls.db in the program folder, opened when the window's
// dependencies are assembled, the recorder its campaigns write to, and what the window asks
// the operator about them at start.
//
//   WindowRecords records(program_folder, loop.clock());
//   ApplicationWindows windows({loop, ..., program_folder, &records, &questions});
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/records/calls_database.h"
#include "app/records/dnc_list.h"
#include "app/records/store_recorder.h"
#include "platform/messaging/clock.h"

namespace orvexa::app {

namespace records_text {
// The status log's line when the operator chose to run campaigns without calls.db (letters
// that code page 1256 carries, as every log line).
inline constexpr std::string_view kNotRecorded =
    "تماس هاي اين اجراي برنامه در calls.db ثبت نمي شود";
}  // namespace records_text

class WindowRecords {
 public:
  WindowRecords(const std::filesystem::path& program_folder, const messaging::Clock& clock);
  ~WindowRecords();
  WindowRecords(const WindowRecords&) = delete;
  WindowRecords& operator=(const WindowRecords&) = delete;

  // Null when calls.db could not be opened (refusal() then says why).
  records::CallsDatabase* db() { return db_.get(); }
  records::StoreRecorder* recorder() { return recorder_.get(); }
  // The do-not-call list campaigns pass over; null with calls.db.
  records::DncList* dnc() { return dnc_.get(); }

  // Empty when calls.db is open; else the Persian error naming the file, and the question
  // whether to run campaigns without recording them.
  const std::string& refusal() const { return refusal_; }
  std::string run_unrecorded_question() const;

  // The newest interrupted campaign with members left, and the question whether to continue
  // it (when it started, on the Solar calendar, and how many members are left).
  struct Unfinished {
    records::ResumePlan plan;
    std::string question;
  };
  std::optional<Unfinished> unfinished();

 private:
  std::unique_ptr<records::CallsDatabase> db_;
  std::unique_ptr<records::StoreRecorder> recorder_;
  std::unique_ptr<records::DncList> dnc_;
  std::string refusal_;
};

}  // namespace orvexa::app
