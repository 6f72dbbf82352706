#include "platform/sip/media_clock.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

extern "C" {
#include <re.h>
}

namespace orvexa::sip {

MediaClock::~MediaClock() { stop(); }

int MediaClock::add(Member& member) {
  if (contains(member)) return 0;
  if (!fd_) {
    if (const int err = start(); err != 0) return err;
  }
  members_.push_back(&member);
  return 0;
}

void MediaClock::remove(Member& member) {
  const auto it = std::find(members_.begin(), members_.end(), &member);
  if (it == members_.end()) return;
  if (walking_ > 0) {
    *it = nullptr;  // the walk in progress skips it; compacted when the walk ends
    return;
  }
  members_.erase(it);
  if (members_.empty()) stop();
}

bool MediaClock::contains(const Member& member) const {
  return std::find(members_.begin(), members_.end(), &member) != members_.end();
}

std::size_t MediaClock::size() const {
  return static_cast<std::size_t>(
      std::count_if(members_.begin(), members_.end(), [](const Member* m) { return m != nullptr; }));
}

void MediaClock::expired(std::uint64_t periods) {
  periods = std::min(periods, kMaxCatchUp);
  ++walking_;
  for (std::uint64_t p = 0; p < periods; ++p) {
    // Members that join during the walk start with the next period.
    const std::size_t n = members_.size();
    for (std::size_t i = 0; i < n; ++i)
      if (Member* m = members_[i]) m->frame();
  }
  if (--walking_ == 0) {
    std::erase(members_, nullptr);
    if (members_.empty()) stop();
  }
}

void MediaClock::on_readable(int flags, void* arg) {
  auto* self = static_cast<MediaClock*>(arg);
  if ((flags & FD_READ) == 0 || !self->fd_) return;
  std::uint64_t periods = 0;
  if (::read(self->fd_.get(), &periods, sizeof periods) != static_cast<ssize_t>(sizeof periods))
    return;
  self->expired(periods);
}

int MediaClock::start() {
  host::UniqueFd fd(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
  if (!fd) return errno;
  // A periodic kernel timer keeps the grid exact: no drift from rounding each wait to 1 ms.
  itimerspec period{};
  period.it_interval.tv_nsec = std::chrono::nanoseconds(kFrame).count();
  period.it_value = period.it_interval;
  int err = ::timerfd_settime(fd.get(), 0, &period, nullptr) == 0 ? 0 : errno;
  if (err == 0) err = fd_listen(fd.get(), FD_READ, &MediaClock::on_readable, this);
  if (err != 0) return err;
  fd_ = std::move(fd);
  return 0;
}

void MediaClock::stop() {
  if (!fd_) return;
  fd_close(fd_.get());  // libre lets go of it before it is closed
  fd_.reset();
}

}  // namespace orvexa::sip
