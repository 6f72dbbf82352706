// The vocabulary of the line service: handles, message numbers, states, flags, error values and
// the variable-size structures, with the names and values the telephony API publishes.
//
// A variable-size structure starts with its total size (what the caller allocated), the size
// needed for everything and the size used; strings follow the fixed part and are found by
// offset and size counted from the start of the structure.
#pragma once

#include <cstdint>
#include <functional>

namespace orvexa::telephony {

using DWORD = std::uint32_t;
using LONG = std::int32_t;
using DWORD_PTR = std::uintptr_t;
using HLINEAPP = DWORD;
using HLINE = DWORD;
using HCALL = DWORD;
using HPHONEAPP = DWORD;
using HPHONE = DWORD;
using WORD = std::uint16_t;

// hDevice, message, callback instance, three parameters. Called on the loop thread.
using LINECALLBACK =
    std::function<void(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR param1,
                       DWORD_PTR param2, DWORD_PTR param3)>;

inline constexpr DWORD kApiVersion10003 = 0x00010003;
inline constexpr DWORD kApiVersion20002 = 0x00020002;

// Line and phone notifications.
inline constexpr DWORD LINE_ADDRESSSTATE = 0;
inline constexpr DWORD LINE_CALLINFO = 1;
inline constexpr DWORD LINE_CALLSTATE = 2;
inline constexpr DWORD LINE_CLOSE = 3;
inline constexpr DWORD LINE_DEVSPECIFIC = 4;
inline constexpr DWORD LINE_DEVSPECIFICFEATURE = 5;
inline constexpr DWORD LINE_GATHERDIGITS = 6;
inline constexpr DWORD LINE_GENERATE = 7;
inline constexpr DWORD LINE_LINEDEVSTATE = 8;
inline constexpr DWORD LINE_MONITORDIGITS = 9;
inline constexpr DWORD LINE_MONITORMEDIA = 10;
inline constexpr DWORD LINE_MONITORTONE = 11;
inline constexpr DWORD LINE_REPLY = 12;
inline constexpr DWORD PHONE_BUTTON = 14;
inline constexpr DWORD PHONE_CLOSE = 15;
inline constexpr DWORD PHONE_REPLY = 17;
inline constexpr DWORD PHONE_STATE = 18;

// Call states.
inline constexpr DWORD LINECALLSTATE_IDLE = 0x1;
inline constexpr DWORD LINECALLSTATE_OFFERING = 0x2;
inline constexpr DWORD LINECALLSTATE_ACCEPTED = 0x4;
inline constexpr DWORD LINECALLSTATE_DIALTONE = 0x8;
inline constexpr DWORD LINECALLSTATE_DIALING = 0x10;
inline constexpr DWORD LINECALLSTATE_RINGBACK = 0x20;
inline constexpr DWORD LINECALLSTATE_BUSY = 0x40;
inline constexpr DWORD LINECALLSTATE_SPECIALINFO = 0x80;
inline constexpr DWORD LINECALLSTATE_CONNECTED = 0x100;
inline constexpr DWORD LINECALLSTATE_PROCEEDING = 0x200;
inline constexpr DWORD LINECALLSTATE_ONHOLD = 0x400;
inline constexpr DWORD LINECALLSTATE_CONFERENCED = 0x800;
inline constexpr DWORD LINECALLSTATE_ONHOLDPENDCONF = 0x1000;
inline constexpr DWORD LINECALLSTATE_ONHOLDPENDTRANSFER = 0x2000;
inline constexpr DWORD LINECALLSTATE_DISCONNECTED = 0x4000;
inline constexpr DWORD LINECALLSTATE_UNKNOWN = 0x8000;

inline constexpr DWORD LINEDISCONNECTMODE_NORMAL = 0x1;
inline constexpr DWORD LINEDISCONNECTMODE_UNKNOWN = 0x2;
inline constexpr DWORD LINEDISCONNECTMODE_REJECT = 0x4;
inline constexpr DWORD LINEDISCONNECTMODE_BUSY = 0x20;
inline constexpr DWORD LINEDISCONNECTMODE_NOANSWER = 0x40;
inline constexpr DWORD LINEDISCONNECTMODE_BADADDRESS = 0x80;
inline constexpr DWORD LINEDISCONNECTMODE_UNREACHABLE = 0x100;
inline constexpr DWORD LINEDISCONNECTMODE_NODIALTONE = 0x1000;
inline constexpr DWORD LINEDISCONNECTMODE_UNAVAIL = 0x8000;
inline constexpr DWORD LINEBUSYMODE_STATION = 0x1;

// What an application may do with a call in its present state (LINECALLSTATUS).
inline constexpr DWORD LINECALLFEATURE_ANSWER = 0x4;
inline constexpr DWORD LINECALLFEATURE_BLINDTRANSFER = 0x8;
inline constexpr DWORD LINECALLFEATURE_DIAL = 0x40;
inline constexpr DWORD LINECALLFEATURE_DROP = 0x80;
inline constexpr DWORD LINECALLFEATURE_GENERATEDIGITS = 0x200;
inline constexpr DWORD LINECALLFEATURE_HOLD = 0x800;
inline constexpr DWORD LINECALLFEATURE_MONITORDIGITS = 0x1000;
inline constexpr DWORD LINECALLFEATURE_MONITORMEDIA = 0x2000;
inline constexpr DWORD LINECALLFEATURE_MONITORTONES = 0x4000;
inline constexpr DWORD LINECALLFEATURE_UNHOLD = 0x8000000;

inline constexpr DWORD LINEDEVSTATE_RINGING = 0x2;

inline constexpr DWORD LINEMEDIAMODE_UNKNOWN = 0x2;
inline constexpr DWORD LINEMEDIAMODE_INTERACTIVEVOICE = 0x4;
inline constexpr DWORD LINEMEDIAMODE_AUTOMATEDVOICE = 0x8;
inline constexpr DWORD LINEMEDIAMODE_DATAMODEM = 0x10;
inline constexpr DWORD LINEMEDIAMODE_G3FAX = 0x20;
inline constexpr DWORD LINEMEDIAMODE_G4FAX = 0x80;

inline constexpr DWORD LINEDIGITMODE_PULSE = 0x1;
inline constexpr DWORD LINEDIGITMODE_DTMF = 0x2;
inline constexpr DWORD LINEDIGITMODE_DTMFEND = 0x4;

inline constexpr DWORD LINECALLPRIVILEGE_NONE = 0x1;
inline constexpr DWORD LINECALLPRIVILEGE_MONITOR = 0x2;
inline constexpr DWORD LINECALLPRIVILEGE_OWNER = 0x4;

inline constexpr DWORD STRINGFORMAT_ASCII = 1;
inline constexpr DWORD STRINGFORMAT_DBCS = 2;
inline constexpr DWORD STRINGFORMAT_UNICODE = 3;
inline constexpr DWORD STRINGFORMAT_BINARY = 4;

inline constexpr DWORD LINECALLSELECT_LINE = 1;
inline constexpr DWORD LINECALLSELECT_ADDRESS = 2;
inline constexpr DWORD LINECALLSELECT_CALL = 4;

inline constexpr DWORD LINEBEARERMODE_VOICE = 0x1;
inline constexpr DWORD LINEBEARERMODE_DATA = 0x8;
inline constexpr DWORD LINEBEARERMODE_PASSTHROUGH = 0x40;

inline constexpr DWORD LINECALLPARAMFLAGS_IDLE = 0x2;
inline constexpr DWORD LINEADDRESSMODE_ADDRESSID = 0x1;

inline constexpr DWORD LINECALLPARTYID_BLOCKED = 0x1;
inline constexpr DWORD LINECALLPARTYID_OUTOFAREA = 0x2;
inline constexpr DWORD LINECALLPARTYID_NAME = 0x4;
inline constexpr DWORD LINECALLPARTYID_ADDRESS = 0x8;
inline constexpr DWORD LINECALLPARTYID_UNKNOWN = 0x20;
inline constexpr DWORD LINECALLPARTYID_UNAVAIL = 0x40;

inline constexpr DWORD LINECALLINFOSTATE_ORIGIN = 0x100;
inline constexpr DWORD LINECALLINFOSTATE_REASON = 0x200;
inline constexpr DWORD LINECALLINFOSTATE_CALLERID = 0x8000;
inline constexpr DWORD LINECALLINFOSTATE_CALLEDID = 0x10000;
inline constexpr DWORD LINECALLINFOSTATE_DISPLAY = 0x100000;
inline constexpr DWORD LINECALLINFOSTATE_USERUSERINFO = 0x200000;

inline constexpr DWORD LINECALLORIGIN_OUTBOUND = 0x1;
inline constexpr DWORD LINECALLORIGIN_EXTERNAL = 0x4;
inline constexpr DWORD LINECALLREASON_DIRECT = 0x1;

inline constexpr DWORD LINEINITIALIZEEXOPTION_USEHIDDENWINDOW = 1;

inline constexpr DWORD PHONEPRIVILEGE_MONITOR = 0x1;
inline constexpr DWORD PHONEPRIVILEGE_OWNER = 0x2;
inline constexpr DWORD PHONEHOOKSWITCHDEV_HANDSET = 0x1;
inline constexpr DWORD PHONEHOOKSWITCHDEV_SPEAKER = 0x2;

// Error values (negative as LONG).
inline constexpr LONG lerr(DWORD v) { return static_cast<LONG>(v); }
inline constexpr LONG LINEERR_ALLOCATED = lerr(0x80000001);
inline constexpr LONG LINEERR_BADDEVICEID = lerr(0x80000002);
inline constexpr LONG LINEERR_CALLUNAVAIL = lerr(0x80000005);
inline constexpr LONG LINEERR_INCOMPATIBLEAPIVERSION = lerr(0x8000000C);
inline constexpr LONG LINEERR_INUSE = lerr(0x8000000F);
inline constexpr LONG LINEERR_INVALADDRESS = lerr(0x80000010);
inline constexpr LONG LINEERR_INVALADDRESSID = lerr(0x80000011);
inline constexpr LONG LINEERR_INVALAPPHANDLE = lerr(0x80000015);
inline constexpr LONG LINEERR_INVALCALLHANDLE = lerr(0x80000018);
inline constexpr LONG LINEERR_INVALCALLSTATE = lerr(0x8000001C);
inline constexpr LONG LINEERR_INVALDEVICECLASS = lerr(0x80000023);
inline constexpr LONG LINEERR_INVALDIGITMODE = lerr(0x80000024);
inline constexpr LONG LINEERR_INVALLINEHANDLE = lerr(0x8000002B);
inline constexpr LONG LINEERR_INVALMEDIAMODE = lerr(0x8000002F);
inline constexpr LONG LINEERR_INVALPARAM = lerr(0x80000032);
inline constexpr LONG LINEERR_INVALPOINTER = lerr(0x80000035);
inline constexpr LONG LINEERR_INVALTONE = lerr(0x8000003C);
inline constexpr LONG LINEERR_NODEVICE = lerr(0x80000042);
inline constexpr LONG LINEERR_NOMEM = lerr(0x80000044);
inline constexpr LONG LINEERR_NOTOWNER = lerr(0x80000046);
inline constexpr LONG LINEERR_OPERATIONUNAVAIL = lerr(0x80000049);
inline constexpr LONG LINEERR_OPERATIONFAILED = lerr(0x80000048);
inline constexpr LONG LINEERR_RESOURCEUNAVAIL = lerr(0x8000004B);
inline constexpr LONG LINEERR_STRUCTURETOOSMALL = lerr(0x8000004D);
inline constexpr LONG LINEERR_UNINITIALIZED = lerr(0x80000050);
inline constexpr LONG PHONEERR_BADDEVICEID = lerr(0x90000002);
inline constexpr LONG PHONEERR_INVALAPPHANDLE = lerr(0x90000006);
inline constexpr LONG PHONEERR_INVALPRIVILEGE = lerr(0x90000016);
inline constexpr LONG PHONEERR_NODEVICE = lerr(0x90000018);
inline constexpr LONG PHONEERR_NOMEM = lerr(0x9000001A);
inline constexpr LONG PHONEERR_RESOURCEUNAVAIL = lerr(0x9000001F);
inline constexpr LONG PHONEERR_STRUCTURETOOSMALL = lerr(0x90000021);

// --- structures (fixed parts; variable data follows within dwTotalSize) ---

struct LINEINITIALIZEEXPARAMS {
  DWORD dwTotalSize, dwNeededSize, dwUsedSize, dwOptions;
  DWORD hEvent, dwCompletionKey;
};
static_assert(sizeof(LINEINITIALIZEEXPARAMS) == 24);

struct LINEEXTENSIONID {
  DWORD dwExtensionID0, dwExtensionID1, dwExtensionID2, dwExtensionID3;
};

struct VARSTRING {
  DWORD dwTotalSize, dwNeededSize, dwUsedSize;
  DWORD dwStringFormat, dwStringSize, dwStringOffset;
};
static_assert(sizeof(VARSTRING) == 24);

struct LINEDEVCAPS {
  DWORD dwTotalSize, dwNeededSize, dwUsedSize;
  DWORD dwProviderInfoSize, dwProviderInfoOffset;
  DWORD dwSwitchInfoSize, dwSwitchInfoOffset;
  DWORD dwPermanentLineID;
  DWORD dwLineNameSize, dwLineNameOffset;
  DWORD dwStringFormat, dwAddressModes, dwNumAddresses, dwBearerModes, dwMaxRate, dwMediaModes;
  DWORD dwGenerateToneModes, dwGenerateToneMaxNumFreq, dwGenerateDigitModes;
  DWORD dwMonitorToneMaxNumFreq, dwMonitorToneMaxNumEntries, dwMonitorDigitModes;
  DWORD dwReserved[45];
};
static_assert(sizeof(LINEDEVCAPS) == 268);

struct LINEADDRESSCAPS {
  DWORD dwTotalSize, dwNeededSize, dwUsedSize;
  DWORD dwLineDeviceID;
  DWORD dwAddressSize, dwAddressOffset;
  DWORD dwDevSpecificSize, dwDevSpecificOffset;
  DWORD dwAddressSharing, dwAddressStates, dwCallInfoStates;
  DWORD dwCallerIDFlags, dwCalledIDFlags, dwConnectedIDFlags;
  DWORD dwRedirectionIDFlags, dwRedirectingIDFlags, dwCallStates, dwDialToneModes, dwBusyModes;
  DWORD dwSpecialInfo, dwDisconnectModes, dwMaxNumActiveCalls;
  DWORD dwReserved[35];
};
static_assert(sizeof(LINEADDRESSCAPS) == 228);

struct LINEDIALPARAMS {
  DWORD dwDialPause, dwDialSpeed, dwDigitDuration, dwWaitForDialtone;
};

struct LINECALLINFO {
  DWORD dwTotalSize, dwNeededSize, dwUsedSize;
  HLINE hLine;
  DWORD dwLineDeviceID, dwAddressID, dwBearerMode, dwRate, dwMediaMode, dwAppSpecific;
  DWORD dwCallID, dwRelatedCallID, dwCallParamFlags, dwCallStates;
  DWORD dwMonitorDigitModes, dwMonitorMediaModes;
  LINEDIALPARAMS DialParams;
  DWORD dwOrigin, dwReason, dwCompletionID, dwNumOwners, dwNumMonitors, dwCountryCode, dwTrunk;
  DWORD dwCallerIDFlags, dwCallerIDSize, dwCallerIDOffset, dwCallerIDNameSize,
      dwCallerIDNameOffset;
  DWORD dwCalledIDFlags, dwCalledIDSize, dwCalledIDOffset, dwCalledIDNameSize,
      dwCalledIDNameOffset;
  DWORD dwDisplaySize, dwDisplayOffset;
  DWORD dwUserUserInfoSize, dwUserUserInfoOffset;
  DWORD dwReserved[40];
};
static_assert(sizeof(LINECALLINFO) == 324);

struct SYSTEMTIME {
  WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16);

// The state a call is in now, its mode, and what may be done with it. The device-specific part
// carries the provider's words on how the call ended ("486 Busy Here"): UTF-8 with a final zero.
struct LINECALLSTATUS {
  DWORD dwTotalSize, dwNeededSize, dwUsedSize;
  DWORD dwCallState, dwCallStateMode, dwCallPrivilege, dwCallFeatures;
  DWORD dwDevSpecificSize, dwDevSpecificOffset;
  DWORD dwCallFeatures2;
  SYSTEMTIME tStateEntryTime;  // UTC
};
static_assert(sizeof(LINECALLSTATUS) == 56);

struct LINECALLPARAMS {
  DWORD dwTotalSize, dwBearerMode, dwMinRate, dwMaxRate, dwMediaMode, dwCallParamFlags;
  DWORD dwAddressMode, dwAddressID;
  LINEDIALPARAMS DialParams;
  DWORD dwReserved[32];
};
static_assert(sizeof(LINECALLPARAMS) == 176);

struct LINEMONITORTONE {
  DWORD_PTR dwAppSpecific;
  DWORD dwDuration, dwFrequency1, dwFrequency2, dwFrequency3;
};

inline constexpr DWORD PHONEHOOKSWITCHMODE_ONHOOK = 0x1;
inline constexpr DWORD PHONEHOOKSWITCHMODE_MIC = 0x2;
inline constexpr DWORD PHONEHOOKSWITCHMODE_SPEAKER = 0x4;
inline constexpr DWORD PHONEHOOKSWITCHMODE_MICSPEAKER = 0x8;
inline constexpr LONG PHONEERR_OPERATIONUNAVAIL = lerr(0x9000001C);
inline constexpr LONG PHONEERR_INVALBUTTONLAMPID = lerr(0x90000009);
inline constexpr LONG PHONEERR_INVALHOOKSWITCHDEV = lerr(0x9000000F);
inline constexpr LONG PHONEERR_INVALHOOKSWITCHMODE = lerr(0x90000010);
inline constexpr LONG PHONEERR_INVALLAMPMODE = lerr(0x90000011);
inline constexpr LONG PHONEERR_INVALPARAM = lerr(0x90000012);
inline constexpr LONG PHONEERR_INVALPHONEHANDLE = lerr(0x90000013);
inline constexpr LONG PHONEERR_INVALPOINTER = lerr(0x90000015);
inline constexpr LONG PHONEERR_INVALRINGMODE = lerr(0x90000017);

// What changed on a phone device (PHONE_STATE), also the mask of phoneSetStatusMessages.
inline constexpr DWORD PHONESTATE_DISPLAY = 0x20;
inline constexpr DWORD PHONESTATE_LAMP = 0x40;
inline constexpr DWORD PHONESTATE_RINGMODE = 0x80;
inline constexpr DWORD PHONESTATE_RINGVOLUME = 0x100;
inline constexpr DWORD PHONESTATE_HANDSETHOOKSWITCH = 0x200;
inline constexpr DWORD PHONESTATE_HANDSETVOLUME = 0x400;
inline constexpr DWORD PHONESTATE_HANDSETGAIN = 0x800;
inline constexpr DWORD PHONESTATE_SPEAKERHOOKSWITCH = 0x1000;
inline constexpr DWORD PHONESTATE_SPEAKERVOLUME = 0x2000;
inline constexpr DWORD PHONESTATE_SPEAKERGAIN = 0x4000;

inline constexpr DWORD PHONELAMPMODE_OFF = 0x2;
inline constexpr DWORD PHONELAMPMODE_STEADY = 0x4;
inline constexpr DWORD PHONELAMPMODE_WINK = 0x8;
inline constexpr DWORD PHONELAMPMODE_FLASH = 0x10;
inline constexpr DWORD PHONELAMPMODE_FLUTTER = 0x20;

inline constexpr DWORD LINETRANSFERMODE_TRANSFER = 0x1;
inline constexpr DWORD LINETRANSFERMODE_CONFERENCE = 0x2;

struct PHONESTATUS {
  DWORD dwTotalSize, dwNeededSize, dwUsedSize;
  DWORD dwStatusFlags, dwNumOwners, dwNumMonitors;
  DWORD dwRingMode, dwRingVolume;
  DWORD dwHandsetHookSwitchMode, dwHandsetVolume, dwHandsetGain;
  DWORD dwSpeakerHookSwitchMode, dwSpeakerVolume, dwSpeakerGain;
  DWORD dwHeadsetHookSwitchMode, dwHeadsetVolume, dwHeadsetGain;
  DWORD dwDisplaySize, dwDisplayOffset;
  DWORD dwLampModesSize, dwLampModesOffset;
  DWORD dwOwnerNameSize, dwOwnerNameOffset;
  DWORD dwDevSpecificSize, dwDevSpecificOffset;
  DWORD dwPhoneFeatures;
};
static_assert(sizeof(PHONESTATUS) == 104);

struct PHONECAPS {
  DWORD dwTotalSize, dwNeededSize, dwUsedSize;
  DWORD dwProviderInfoSize, dwProviderInfoOffset;
  DWORD dwPhoneInfoSize, dwPhoneInfoOffset;
  DWORD dwPermanentPhoneID;
  DWORD dwPhoneNameSize, dwPhoneNameOffset;
  DWORD dwStringFormat, dwPhoneStates;
  DWORD dwHookSwitchDevs, dwHandsetHookSwitchModes, dwSpeakerHookSwitchModes,
      dwHeadsetHookSwitchModes;
  DWORD dwVolumeFlags, dwGainFlags;
  DWORD dwDisplayNumRows, dwDisplayNumColumns;
  DWORD dwNumRingModes, dwNumButtonLamps;
  DWORD dwReserved[23];
};
static_assert(sizeof(PHONECAPS) == 180);

}  // namespace orvexa::telephony
