// The pending request and the list the line component keeps them in.
#include "components/phone/pending_requests.h"

#include <algorithm>

namespace orvexa::components {

using telephony::HCALL;
using telephony::LONG;

namespace {

template <class Match>
std::optional<PendingRequest> TakeFirst(std::vector<PendingRequest>& list, Match match) {
  auto it = std::find_if(list.begin(), list.end(), match);
  if (it == list.end()) return std::nullopt;
  PendingRequest taken = std::move(*it);
  list.erase(it);
  return taken;
}

}  // namespace

PendingRequest::PendingRequest(RequestKind kind, LONG id, HCALL call, std::intptr_t param,
                               RequestOrigin origin)
    : kind_(kind), id_(id), call_(call), param_(param), origin_(origin) {}

PendingRequest PendingRequest::NewCall(RequestKind kind, LONG id, std::unique_ptr<HCALL> cell,
                                       int user_value, RequestOrigin origin) {
  PendingRequest request(kind, id, 0, user_value, origin);
  request.cell_ = std::move(cell);
  return request;
}

PendingRequest PendingRequest::Passthrough(LONG id, HCALL call, bool on,
                                           messaging::WindowHandle notify, RequestOrigin origin) {
  PendingRequest request(RequestKind::Passthrough, id, call, on ? 1 : 2, origin);
  request.notify_ = notify;
  return request;
}

std::optional<PendingRequest> PendingRequests::take(LONG id) {
  return TakeFirst(list_, [id](const PendingRequest& r) { return r.id() == id; });
}

std::vector<PendingRequest> PendingRequests::take_all(LONG id) {
  std::vector<PendingRequest> taken;
  for (auto it = list_.begin(); it != list_.end();) {
    if (it->id() == id) {
      taken.push_back(std::move(*it));
      it = list_.erase(it);
    } else {
      ++it;
    }
  }
  return taken;
}

std::optional<PendingRequest> PendingRequests::take_expired(messaging::TimePoint now) {
  return TakeFirst(list_, [now](const PendingRequest& r) { return r.deadline() < now; });
}

bool PendingRequests::has_call(HCALL call) const {
  return std::any_of(list_.begin(), list_.end(),
                     [call](const PendingRequest& r) { return r.call() == call; });
}

}  // namespace orvexa::components
