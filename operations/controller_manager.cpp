// Making and ending the manager: the firmware folder is found when it is made, and it outlives every
// thread that uses it.
#include "operations/controller_manager.h"
#include "operations/firmware_folder.h"

namespace tarrowind {

CControllerManager::CControllerManager() : CControllerManager(ManagerServices{}) {}

CControllerManager::CControllerManager(const ManagerServices& services, ManagerTiming timing)
    : m_services(services),
      m_timing(timing),
      m_http(*services.http, m_closing),
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
    {
        std::unique_lock hold(m_queueLock);
        m_queueChanged.wait(hold, [this] { return m_runningCount == 0; });
    }
    JoinWorkers();
    m_search.RemoveAllStaticArp();
}

}  // namespace tarrowind
