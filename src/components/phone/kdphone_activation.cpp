// Activating and deactivating the line: LineActive, LineReactivate, the opening and the closing.
#include <cstring>
#include <optional>

#include "components/phone/kdphone.h"
#include "components/phone/var_read.h"

namespace orvexa::components {

using namespace telephony;

int KDPhone::LineActive(int device, bool activate) {
  if (activate == IsActive() && device == line_id_) return 0;
  if (activate && IsActive())
    if (int r = LineActive(line_id_, false); r != 0) return r;
  if (!activate && device != line_id_) return 0;
  std::optional<host::BusyPointer> busy;
  if (services_.busy) busy.emplace(*services_.busy);
  line_id_ = device;
  if (!activate) return CloseLine();
  if (int r = CloseLine(); r != 0) return r;
  return OpenLine();
}

int KDPhone::LineReactivate(bool silent) {
  for (const CallEntry& e : calls_)
    if (e.state == csOffering || e.state == csRing) return err::kOfferingInProgress;
  for (const CallEntry& e : calls_)
    if (e.state != csDisconnected) return err::kCallInProgress;
  if (!pending_.empty()) return err::kRequestInProgress;
  silent_ = silent;
  int r = LineActive(line_id_, false);
  if (r == 0) r = LineActive(line_id_, true);
  silent_ = false;
  if (!IsActive()) RaiseLineState(lsDeactivated, 0);
  return r;
}

void KDPhone::ApplyModemSettings() {
  const DWORD dev = static_cast<DWORD>(line_id_);
  VarBuffer<VARSTRING> config(2048);
  config->dwStringFormat = STRINGFORMAT_BINARY;
  if (api_.lineGetDevConfig(dev, config.get(), "comm/datamodem") != 0) return;
  auto part = checked_part(config.bytes(), sizeof(VARSTRING), config->dwStringSize,
                           config->dwStringOffset);
  if (!part) return;
  std::vector<std::uint8_t> data(part->begin(), part->end());
  auto word = [&](std::size_t at) {
    DWORD v = 0;
    std::memcpy(&v, data.data() + at, 4);
    return v;
  };
  auto set_word = [&](std::size_t at, DWORD v) { std::memcpy(data.data() + at, &v, 4); };
  // Only a block long enough to hold the modem settings is changed.
  if (data.size() >= 92 && word(48) == 6) {
    if (modem_speaker_->Mode != smDefault) set_word(88, modem_speaker_->Mode);
    if (modem_speaker_->Volume != svDefault) set_word(84, modem_speaker_->Volume);
    const std::uint16_t options = ShowModemIcon ? 8 : 0;
    std::memcpy(data.data() + 8, &options, 2);
  }
  api_.lineSetDevConfig(dev, data.data(), static_cast<DWORD>(data.size()), "comm/datamodem");
}

int KDPhone::OpenLine() {
  if (state_ == LineState::Open) return 0;
  if (int r = EnsureInitialised(); r != 0) return r;
  if (line_count_ == 0) return err::kNoLineDevice;
  int word = 0;
  if (int r = Gather(line_id_, word); r != 0) return r;
  ApplyModemSettings();
  DWORD media = 0;
  if (MediaMode == mmVoice) {
    media = line_info_.media_modes;
  } else {
    media = LINEMEDIAMODE_DATAMODEM | (line_info_.media_modes & LINEMEDIAMODE_UNKNOWN);
  }
  const DWORD privileges = LinePrivilege == lpMonitor
                               ? LINECALLPRIVILEGE_MONITOR
                               : LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR;
  line_ = 0;
  const LONG r = api_.lineOpen(line_app_, static_cast<DWORD>(line_id_), &line_,
                               line_info_.line_version, 0,
                               reinterpret_cast<DWORD_PTR>(&line_relay_), privileges, media,
                               nullptr);
  if (r != 0) {
    line_ = 0;
    if (r == LINEERR_INVALMEDIAMODE) return err::kMediaModeIncompatible;
    if (r == LINEERR_ALLOCATED || r == LINEERR_INUSE || r == LINEERR_RESOURCEUNAVAIL)
      return err::kLineAllocated;
    if (r == LINEERR_BADDEVICEID) return err::kBadLineDeviceId;
    return r == LINEERR_NOMEM ? err::kNoMemory : err::kLineSetup;
  }
  if (line_ == 0) {
    CloseLine();
    return err::kNoLineDevice;
  }
  current_media_mode_ = MediaMode;
  current_privilege_ = LinePrivilege;
  state_ = LineState::Open;
  if (api_.lineSetStatusMessages(line_, LINEDEVSTATE_RINGING, 0) != 0) {
    CloseLine();
    return err::kLineSetup;
  }
  if (line_info_.phone >= 0) {
    const LONG p = api_.phoneOpen(phone_app_, static_cast<DWORD>(line_info_.phone), &phone_,
                                  line_info_.phone_version, 0,
                                  reinterpret_cast<DWORD_PTR>(&phone_relay_),
                                  LinePrivilege == lpMonitor ? PHONEPRIVILEGE_MONITOR
                                                             : PHONEPRIVILEGE_OWNER);
    if (p != 0) {
      phone_ = 0;
      CloseLine();
      return p == PHONEERR_INVALPRIVILEGE ? err::kLineAllocated : err::kLineSetup;
    }
    if (api_.phoneSetStatusMessages(phone_, 0x1200, 0, 0) != 0) {
      CloseLine();
      return err::kLineSetup;
    }
    ApplyPhoneSettings();
  }
  if (!silent_) RaiseLineState(lsActivated, -1);
  return 0;
}

int KDPhone::CloseLine() {
  if (state_ != LineState::Open) return 0;
  // Over a copy of the handles: a handler may end calls while we walk.
  std::vector<HCALL> handles;
  for (const CallEntry& e : calls_) handles.push_back(e.handle);
  for (HCALL h : handles) {
    const CallEntry* e = FindCall(h);
    if (!e || e->state == csDisconnected || e->state == csWaitingDisconnection) continue;
    current_call_ = h;
    RaiseBeforeDisconnect(h);
    if (comm_handle_ && comm_call_ == h) {
      api_.closeCommHandle(comm_handle_);
      comm_handle_ = 0;
      comm_call_ = 0;
    }
  }
  if (phone_ != 0) {
    api_.phoneClose(phone_);
    phone_ = 0;
  }
  if (api_.lineClose(line_) != 0) return err::kLineClose;
  state_ = LineState::Closed;
  line_ = 0;
  // A closed line gets no more replies: nothing will be written into these cells.
  orphan_cells_.clear();
  if (!silent_) RaiseLineState(lsDeactivated, 1);
  return 0;
}

}  // namespace orvexa::components
