#include "app/main/report_reader.h"

namespace orvexa::app {

ReportReader::ReportReader(Deliver deliver)
    : deliver_(std::move(deliver)), thread_([this](std::stop_token stop) { run(stop); }) {}

ReportReader::~ReportReader() {
  thread_.request_stop();
  if (thread_.joinable()) thread_.join();
}

void ReportReader::ask(ReportRequest request) {
  {
    std::lock_guard lock(mutex_);
    waiting_ = std::move(request);
  }
  wake_.notify_one();
}

void ReportReader::run(std::stop_token stop) {
  for (;;) {
    ReportRequest request;
    {
      std::unique_lock lock(mutex_);
      if (!wake_.wait(lock, stop, [this] { return waiting_.has_value(); })) return;
      request = std::move(*waiting_);
      waiting_.reset();
    }
    deliver_(answer(request));
  }
}

ReportAnswer ReportReader::answer(const ReportRequest& request) {
  switch (request.kind) {
    case ReportAsk::Open: return open(request);
    case ReportAsk::Attempts: {
      ReportAnswer a{.serial = request.serial};
      if (db_) read_attempts(request.campaign, request.filter, a);
      return a;
    }
    case ReportAsk::Close: db_.reset(); break;
  }
  return {.serial = request.serial};
}

ReportAnswer ReportReader::open(const ReportRequest& request) {
  db_.reset();
  ReportAnswer a{.serial = request.serial};
  std::error_code error;
  // Opening would create the file: a folder without campaigns is left without one.
  if (!std::filesystem::exists(request.file, error)) {
    a.problem = ReportProblem::Missing;
    return a;
  }
  auto opened = records::CallsDatabase::open(request.file);
  if (!opened) {
    a.problem = ReportProblem::Unreadable;
    a.error = opened.error();
    return a;
  }
  db_ = std::move(opened.db);
  a.campaigns = db_->campaigns();
  return a;
}

void ReportReader::read_attempts(std::int64_t campaign, const records::AttemptFilter& filter,
                                 ReportAnswer& a) {
  a.campaign = campaign;
  a.attempts = db_->attempts(campaign, filter);
  a.totals = outcome_totals(a.attempts);
  a.days = counts_per_day(a.attempts);
  const bool whole = !filter.from_ms && !filter.until_ms && !filter.outcome && !filter.group && !filter.number;
  if (whole) a.groups = group_names(a.attempts);
}

}  // namespace orvexa::app
