// The do-not-call list in calls.db: numbers a campaign passes over, in the form the member import
// gives them ("+98 912 ..." and "0912..." are one number), with when and why each was added.
//
//   DncList dnc(*db, clock);
//   dnc.add("0912 345 6789", "asked by phone");
//   if (dnc.listed(member.number)) ...
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/campaign/ports.h"
#include "app/data/phone_number.h"
#include "app/records/calls_database.h"
#include "platform/messaging/clock.h"

namespace orvexa::records {

struct DncEntry {
  std::string number;
  std::int64_t added_ms = 0;
  std::string reason;
};

// What an import did: numbers added (or already listed), and the lines it refused.
struct DncImport {
  int added = 0;
  int already = 0;
  std::vector<std::string> refused;  // "line 4: not a telephone number: abc"
};

class DncList final : public campaign::DoNotCall {
 public:
  DncList(CallsDatabase& db, const messaging::Clock& clock) : db_(db), clock_(clock) {}

  // The list's form of a number (a short extension: its digits); nullopt when it is none.
  std::optional<std::string> normalise(std::string_view number) const;

  bool listed(const std::string& number) override;
  bool add(const std::string& number, std::string_view reason) override;
  // False when the number was not listed (or the store failed).
  bool remove(std::string_view number);
  std::vector<DncEntry> entries();
  // One number per line (UTF-8, any digits); blank lines and lines starting with # are passed
  // over. Everything it can read is added in one transaction.
  DncImport import(std::string_view text, std::string_view reason);

 private:
  CallsDatabase& db_;
  const messaging::Clock& clock_;
  data::PhoneNumberReader reader_;
};

}  // namespace orvexa::records
