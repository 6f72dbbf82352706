// The error numbers of the component set. 0 is success; positive numbers are device and
// telephony conditions, negative ones general and file conditions.
#pragma once

#include <cstdint>

namespace orvexa::components {

using ErrorNumber = std::int32_t;

namespace err {
inline constexpr ErrorNumber kNone = 0;
// Wave devices.
inline constexpr ErrorNumber kSoundNotEnabled = 8;
inline constexpr ErrorNumber kSoundAbruptlyClosed = 9;
inline constexpr ErrorNumber kSoundAllocated = 10;
inline constexpr ErrorNumber kSoundBadDeviceId = 11;
inline constexpr ErrorNumber kSoundNoDriver = 12;
inline constexpr ErrorNumber kSoundBadFormat = 14;
inline constexpr ErrorNumber kSoundSync = 15;
inline constexpr ErrorNumber kNoSoundDevice = 16;
inline constexpr ErrorNumber kTwoRecordingDevices = 36;
inline constexpr ErrorNumber kNotPcmWave = 37;
inline constexpr ErrorNumber kTimerResources = 50;
inline constexpr ErrorNumber kDifferentFormats = 51;
// Line devices.
inline constexpr ErrorNumber kTapiInit = 99;
inline constexpr ErrorNumber kLineOpen = 100;
inline constexpr ErrorNumber kNoLineDevice = 101;
inline constexpr ErrorNumber kBadLineDeviceId = 102;
inline constexpr ErrorNumber kNegotiateVersion = 103;
inline constexpr ErrorNumber kLineSetup = 105;
inline constexpr ErrorNumber kLineAllocated = 106;
inline constexpr ErrorNumber kLineUnavailable = 107;
inline constexpr ErrorNumber kCallOperation = 108;
inline constexpr ErrorNumber kAnswerOperation = 109;
inline constexpr ErrorNumber kNotOffering = 110;
inline constexpr ErrorNumber kHangupOperation = 111;
inline constexpr ErrorNumber kLineClose = 112;
inline constexpr ErrorNumber kTimeOut = 113;
inline constexpr ErrorNumber kAddressIdRange = 114;
inline constexpr ErrorNumber kInvalidCallHandle = 115;
inline constexpr ErrorNumber kNotOwner = 116;
inline constexpr ErrorNumber kDeviceNameUnavailable = 150;
inline constexpr ErrorNumber kAuxNotSupported = 151;
inline constexpr ErrorNumber kHandsetNotSupported = 152;
inline constexpr ErrorNumber kCallerIdUnavailable = 153;
inline constexpr ErrorNumber kCallerIdNotSupported = 154;
inline constexpr ErrorNumber kInvalidDialNumber = 155;
inline constexpr ErrorNumber kMicSpeakerState = 156;
inline constexpr ErrorNumber kLineNotActive = 157;
inline constexpr ErrorNumber kCallInProgress = 158;
inline constexpr ErrorNumber kOfferingInProgress = 159;
inline constexpr ErrorNumber kRequestInProgress = 160;
inline constexpr ErrorNumber kAlreadyDisconnected = 161;
inline constexpr ErrorNumber kMediaModeIncompatible = 162;
inline constexpr ErrorNumber kConfigKeyNotFound = 163;
inline constexpr ErrorNumber kExtDeviceUnavailable = 164;
inline constexpr ErrorNumber kNoConsultationCall = 170;
// General and file conditions.
inline constexpr ErrorNumber kFailed = -1;
inline constexpr ErrorNumber kAlreadyInProgress = -2;
inline constexpr ErrorNumber kInvalidArgument = -10;
inline constexpr ErrorNumber kNoMemory = -50;
inline constexpr ErrorNumber kDiskFull = -51;
inline constexpr ErrorNumber kFileEmpty = -88;
inline constexpr ErrorNumber kFileCannotOpen = -89;
inline constexpr ErrorNumber kFileExclusive = -90;
inline constexpr ErrorNumber kFileCannotWrite = -92;
inline constexpr ErrorNumber kFileReadWrite = -93;
inline constexpr ErrorNumber kBadFileName = -94;
inline constexpr ErrorNumber kTooManyOpenFiles = -95;
inline constexpr ErrorNumber kFileInUse = -96;
inline constexpr ErrorNumber kFileNotFound = -97;
inline constexpr ErrorNumber kNetworkFile = -98;
inline constexpr ErrorNumber kFileProtected = -100;
}  // namespace err

}  // namespace orvexa::components
