#pragma once

#include <memory>
#include <utility>
#include <variant>

#include "discovery/dactyl_settings.h"
#include "discovery/device_record.h"
#include "operations/firmware_upload.h"
#include "operations/module_settings.h"
#include "operations/settings_change.h"

namespace tarrowind {

// The login a module had before a settings action gave it another: tried when the new one is refused
// after the restart, in case the module kept it.
struct PreviousLogin {
    std::string userName;
    std::string password;
    ~PreviousLogin() { WipeString(password); }
};

// What a queued action will send; owned by the record until sent or withdrawn. A reader's settings go as
// its request bytes; a web module's as its whole configuration or as a change applied to the
// configuration read just before the write; a firmware update carries its batch's file digests; a
// module whose login a settings action changed keeps its previous login until it has logged in again.
struct PendingPayload {
    std::variant<DactylSettingsRequest, ModuleSettings, SettingsChange, FirmwareBatch, PreviousLogin> value;
};

template <typename T>
std::shared_ptr<PendingPayload> MakePayload(T value)
{
    return std::make_shared<PendingPayload>(PendingPayload{std::move(value)});
}

// The payload when it is a T, else null (also for no payload).
template <typename T>
const T* PayloadAs(const std::shared_ptr<PendingPayload>& payload)
{
    return payload ? std::get_if<T>(&payload->value) : nullptr;
}

template <typename T>
const T* PayloadAs(const DeviceRecord& record)
{
    return PayloadAs<T>(record.pendingPayload);
}

}  // namespace tarrowind
