// Making and ending the manager: the firmware folder is found when it is made, and it outlives every
// thread that uses it.
#include "operations/controller_manager.h"

#include "discovery/module_address.h"
#include "operations/firmware_folder.h"
#include "operations/pending_payload.h"

namespace tarrowind {
namespace {

// A reader takes its settings by a broadcast naming its MAC: its address need not be reachable.
bool ReachedByBroadcast(const DeviceRecord& record)
{
    return record.kind == ModuleKind::BinaryDactyl && record.status == kStatusQueueSetting;
}

}  // namespace

CControllerManager::CControllerManager() : CControllerManager(ManagerServices{}) {}

CControllerManager::CControllerManager(const ManagerServices& services, ManagerTiming timing)
    : m_services(services),
      m_timing(timing),
      m_queue([this](DeviceRecord* record) { JobWorker(record); }, services.startWorker),
      m_http(*services.http, m_queue.ClosedFlag()),
      m_search(services, timing),
      m_firmwareFolder(LoadFirmwareFolder())
{
    m_services.http = &m_http;
    HttpClient::GlobalInit();
}

CControllerManager::~CControllerManager()
{
    // The window never closes with work pending; a stopped command line or session may: its workers
    // end soon after the stop and are joined before anything they use goes.
    StopJobs();
    WaitForSearch();
    m_queue.JoinWorkers();
    m_search.RemoveAllStaticArp();
}

int CControllerManager::QueueJob(DeviceRecord* record)
{
    if (record == nullptr) {
        return 0;
    }
    record->ownerQueue = this;
    if (!IsUsableModuleAddress(record->ip) && !ReachedByBroadcast(*record)) {
        // Nothing can be sent there; parked behind another such module it would wait for ever.
        record->action = kActionNone;
        record->status = kStatusAddressUnusable;
        record->pendingPayload.reset();
        Report(*record);
        return 0;
    }
    return m_queue.Add(record);
}

int CControllerManager::SendDactylSettings(const DeviceRecord* record)
{
    const auto* request = record != nullptr ? PayloadAs<DactylSettingsRequest>(*record) : nullptr;
    return request != nullptr ? m_search.SendDactylSettings(*record, request->bytes) : 0;
}

std::vector<DeviceRecord*> CControllerManager::StopJobs()
{
    std::vector<DeviceRecord*> withdrawn = m_queue.Close();
    m_search.Close();
    return withdrawn;
}

}  // namespace tarrowind
