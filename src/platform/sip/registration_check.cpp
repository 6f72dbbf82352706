#include "platform/sip/registration_check.h"

#include <condition_variable>
#include <cstring>
#include <optional>
#include <memory>
#include <mutex>

#include "platform/sip/sip_account.h"
#include "platform/sip/sip_thread.h"

namespace orvexa::sip {

RegistrationStatus check_registration(const SipLineConfig& line, std::chrono::seconds limit) {
  using State = RegistrationStatus::State;
  std::mutex mutex;
  std::condition_variable cv;
  std::optional<RegistrationStatus> final;
  SipThread thread;
  if (!thread.running())
    return {State::Failed, 0, std::string("SIP stack: ") + std::strerror(thread.start_error()), {}};

  std::unique_ptr<SipAccount> account;
  int err = 0;
  thread.call([&] {
    account = std::make_unique<SipAccount>(line, [&](const RegistrationStatus& s) {
      if (s.state == State::Registering) return;
      std::lock_guard lock(mutex);
      if (!final) final = s;
      cv.notify_all();
    });
    err = account->start();
  });
  RegistrationStatus result;
  {
    std::unique_lock lock(mutex);
    if (err == 0) cv.wait_for(lock, limit, [&] { return final.has_value(); });
    if (final) result = *final;
    else if (err != 0) result = {State::Failed, 0, std::strerror(err), {}};
    else result = {State::Failed, 0, "no answer from the registrar", limit};
  }
  thread.call([&] { account.reset(); });
  return result;
}

}  // namespace orvexa::sip
