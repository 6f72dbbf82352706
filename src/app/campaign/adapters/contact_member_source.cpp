#include "app/campaign/adapters/contact_member_source.h"

#include "app/data/solar_date.h"

namespace orvexa::campaign {

std::vector<GroupRow> ContactMemberSource::groups() {
  std::vector<GroupRow> rows;
  for (const auto& g : store_.groups()) rows.push_back({g.name, g.gcode});
  return rows;
}

std::optional<std::vector<MemberToCall>> ContactMemberSource::open_members(
    const std::string& gcode, std::string& error) {
  data::Group group;
  group.gcode = gcode;
  auto members = store_.members(group, filter_ ? &*filter_ : nullptr);
  if (!members) {
    error = store_.last_error();
    if (error.empty()) error = "cannot open member table " + gcode;
    return std::nullopt;
  }
  std::vector<MemberToCall> to_call;
  to_call.reserve(members->size());
  for (auto& m : *members) to_call.push_back({m.row, std::move(m.name), std::move(m.family), std::move(m.num)});
  return to_call;
}

bool ContactMemberSource::set_filter(const DateFilterRequest& request) {
  filter_.reset();
  auto kind = data::date_kind_from_name(request.kind);
  if (!kind) return false;
  data::FilterFields fields{request.day, request.month};
  auto prepared = data::prepare_filter(true, fields, *kind, data::solar_today(clock_));
  if (prepared.refused || !prepared.filter) return false;
  filter_ = prepared.filter;
  return true;
}

}  // namespace orvexa::campaign
