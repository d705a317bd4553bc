#pragma once

#include "discovery/device_record.h"

namespace tarrowind {

class CControllerManager;

// The step of a worker that acts on a module, one for each queued status. Each moves the record from its
// queued status through the running one to the outcome: kStatusWaitForLogin when the module restarts and
// is to be found again, else the result or failure status.

// kStatusQueueLogin: logs in by the module's login page or, for a BinaryDactyl reader, by its CGI.
void RunLoginStep(CControllerManager& manager, DeviceRecord& record);
// kStatusQueueSetting: a reader's settings request by broadcast, or a module's configuration form.
void RunSettingsStep(CControllerManager& manager, DeviceRecord& record);
// kStatusQueueReboot, kStatusQueueSetDefault: the restart (or factory defaults) request.
void RunRestartStep(CControllerManager& manager, DeviceRecord& record);
// kStatusQueueFirmwareUpdate: uploads the firmware file, and the second one after a pause.
void RunFirmwareStep(CControllerManager& manager, DeviceRecord& record);

// The step for the record's status; nothing for any other status.
void RunActionStep(CControllerManager& manager, DeviceRecord& record);

}  // namespace tarrowind
