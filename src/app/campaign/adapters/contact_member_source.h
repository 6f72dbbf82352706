// The campaign's members from the contact database: groups, member tables and the date filter.
#pragma once

#include <optional>

#include "app/campaign/ports.h"
#include "app/data/contact_store.h"
#include "platform/messaging/clock.h"

namespace orvexa::campaign {

class ContactMemberSource final : public MemberSource {
 public:
  // `clock` gives today's Solar date, which the instalment filter compares with.
  ContactMemberSource(data::ContactStore& store, const messaging::Clock& clock)
      : store_(store), clock_(clock) {}

  std::vector<GroupRow> groups() override;
  std::optional<std::vector<MemberToCall>> open_members(const std::string& gcode,
                                                        std::string& error) override;
  bool set_filter(const DateFilterRequest& request) override;
  void clear_filter() override { filter_.reset(); }

 private:
  data::ContactStore& store_;
  const messaging::Clock& clock_;
  std::optional<data::MemberFilter> filter_;
};

}  // namespace orvexa::campaign
