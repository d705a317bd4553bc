#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/secret_wipe.h"

namespace tarrowind {

class CControllerManager;
class CoreEvents;

// Module family, chosen from the discovery reply; every action branches on it.
enum class ModuleKind : std::int32_t {
    Web = 0,
    WebDactyl = 1,
    BinaryDactyl = 2,
    LongReply = 3,
};

// The action queued or running for a module.
enum ActionCode : std::int32_t {
    kActionNone = 0,
    kActionSetLogin = 1,
    kActionSetting = 2,
    kActionReboot = 3,
    kActionDefault = 4,
    kActionFirmwareUpdate = 5,
    kActionFirmwareUpdateToLatest = 6,
};

// Where a module stands; code n is shown as the text of the n-th status key.
enum StatusCode : std::int32_t {
    kStatusNotSupported = 0,
    kStatusNone = 1,
    kStatusCannotAccess = 2,
    kStatusQueueLogin = 3,
    kStatusLogin = 4,
    kStatusLoginFailed = 5,
    kStatusLoginSuccessfully = 6,
    kStatusQueueSetting = 7,
    kStatusSetting = 8,
    kStatusSettingFailed = 9,
    kStatusQueueReboot = 10,
    kStatusReboot = 11,
    kStatusRebootFailed = 12,
    kStatusQueueSetDefault = 13,
    kStatusSetDefault = 14,
    kStatusSetDefaultFailed = 15,
    kStatusQueueFirmwareUpdate = 16,
    kStatusFirmwareUploading = 17,
    kStatusFirmwareUpdating = 18,
    kStatusFirmwareUpdateFailed = 19,
    kStatusLatestVersion = 20,
    kStatusUnknown = 21,
    kStatusWaitForFirmwareUpdate = 22,
    kStatusWaitForLogin = 23,
    // Codes past the original 24: each names a refusal or a failure that the first ones reported wrongly.
    kStatusFirmwareNotTaken = 24,      // the module came back with its old version
    kStatusCertificateChanged = 25,    // the module's certificate is not the one first seen
    kStatusAddressUnusable = 26,       // 0.0.0.0, loopback, multicast, broadcast: nothing is sent
    kStatusAddressNotConfirmed = 27,   // the reply named an address other than its sender's
    kStatusSettingsUnreadable = 28,    // the configuration page lacked values: nothing was written
};
constexpr std::int32_t kStatusCount = 29;

// Statuses in which a module's action failed: the CLI's exit code and the window's batch summary count
// these alike.
constexpr bool IsFailureStatus(std::int32_t status)
{
    switch (status) {
    case kStatusCannotAccess: case kStatusLoginFailed: case kStatusSettingFailed: case kStatusRebootFailed:
    case kStatusSetDefaultFailed: case kStatusFirmwareUpdateFailed: case kStatusUnknown:
    case kStatusFirmwareNotTaken: case kStatusCertificateChanged: case kStatusAddressUnusable:
    case kStatusAddressNotConfirmed: case kStatusSettingsUnreadable:
        return true;
    default:
        return false;
    }
}

// Why the last action ended as it did where its status alone does not say; statuses keep their codes.
enum class FailureReason : std::int32_t {
    None = 0,
    CredentialsRefused = 1,  // the module refused the user name or password
    RefusalPage = 2,         // the module answered with a refusal page
    NoAnswer = 3,            // no connection, or the connection ended without an answer
    TimedOut = 4,            // the module stopped answering midway
    TlsFailed = 5,           // the secure connection could not be set up
    Cancelled = 6,           // withdrawn from the queue before it ran
    Held = 7,                // not started: an earlier update of its batch failed
    LoginKept = 8,           // the module refused the new login after its restart and still takes the old
};

// What the firmware folder's list says of a module's firmware; Unknown where nobody asked (no folder, not
// logged in).
enum class FirmwareStanding : std::int32_t {
    Unknown = 0,
    UpToDate = 1,
    UpdateAvailable = 2,
    NotListed = 3,
};

constexpr std::uint32_t kBroadcastAdapterIndex = 0xFFFFFFFFu;

// What a queued action will send (operations/pending_payload.h); owned by the record until sent or
// withdrawn.
struct PendingPayload;

// One module: what it said about itself, through which adapter it was heard, and its action state.
struct DeviceRecord {
    ModuleKind kind = ModuleKind::Web;
    std::uint32_t adapterIndex = 0;
    std::array<std::uint8_t, 6> mac{};
    std::uint32_t ip = 0;  // network byte order: first dotted number in the lowest-addressed byte
    std::string adapterName;
    std::string name;
    std::string ipText;
    std::string macText;  // tells modules apart
    std::string maskText;
    std::string gatewayText;
    std::string version;
    std::string model;

    // Action state.
    std::int32_t action = kActionNone;
    std::int32_t status = kStatusNone;
    std::int32_t progress = 0;
    FailureReason failureReason = FailureReason::None;  // set with the status an action ends in
    CoreEvents* reportWindow = nullptr;  // receives a report after every change; none means no reports
    std::string userName;
    std::string password;
    std::string firmwareFile;
    std::string firmwareFile2;
    CControllerManager* ownerQueue = nullptr;
    // Shared so that copying a record copies the field; only one copy ever hands it on or frees it.
    std::shared_ptr<PendingPayload> pendingPayload;

    std::int32_t useHttps = 1;
    std::int32_t dhcp = 0;
    // Found by a range probe on no local adapter's subnet: reached through the system's routes, never
    // given a static neighbour entry. adapterIndex is then kBroadcastAdapterIndex, adapterName "Routed".
    bool routed = false;
    // The reply's address text named the address it was sent from. A record whose reply named another
    // address is listed but never given credentials or a static neighbour entry.
    bool addressConfirmed = true;
    // The address the record's reply came from (network order; 0 when unknown).
    std::uint32_t replyFrom = 0;
    // A firmware update's version before it began and the version it must end with (empty: any other
    // than versionBefore counts).
    std::string versionBefore;
    std::string expectedVersion;
    // Set by whoever shows the record against the firmware list (never by the workers); latestVersion is
    // the list's version for the model, as the module would report it.
    FirmwareStanding firmwareStanding = FirmwareStanding::Unknown;
    std::string latestVersion;

    // Every copy of a record overwrites its password when it goes.
    ~DeviceRecord() { WipeString(password); }
};

}  // namespace tarrowind
