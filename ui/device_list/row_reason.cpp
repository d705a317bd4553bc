#include "ui/device_list/row_reason.h"

#include "localisation/string_table.h"
#include "ui/device_list/controller_list_model.h"

namespace tarrowind {
namespace {

QString TextOf(const char* key)
{
    return QString::fromStdString(Text(key));
}

// A version in a text that may read right to left still reads first to last.
QString Version(const std::string& version)
{
    return ControllerListModel::LeftToRight(QString::fromStdString(version));
}

const char* FailureKey(FailureReason reason)
{
    switch (reason) {
    case FailureReason::CredentialsRefused:
        return "ORB_IDS_WHY_CREDENTIALS_REFUSED";
    case FailureReason::RefusalPage:
        return "ORB_IDS_WHY_REFUSAL_PAGE";
    case FailureReason::NoAnswer:
        return "ORB_IDS_WHY_NO_ANSWER";
    case FailureReason::TimedOut:
        return "ORB_IDS_WHY_TIMED_OUT";
    case FailureReason::TlsFailed:
        return "ORB_IDS_WHY_TLS_FAILED";
    case FailureReason::Cancelled:
        return "ORB_IDS_WHY_CANCELLED";
    case FailureReason::Held:
        return "ORB_IDS_WHY_HELD";
    case FailureReason::LoginKept:
        return "ORB_IDS_WHY_LOGIN_KEPT";
    case FailureReason::None:
        break;
    }
    return nullptr;
}

}  // namespace

QString RowReason(const DeviceRecord& shown)
{
    if (shown.kind == ModuleKind::LongReply) {
        return TextOf("ORB_IDS_WHY_NO_LOGIN");
    }
    QString firmware;
    if (!shown.versionBefore.empty() && shown.action == kActionNone) {
        if (shown.status == kStatusLoginSuccessfully && shown.version != shown.versionBefore) {
            firmware = TextOf("ORB_IDS_WHY_UPDATED");
        } else if (shown.status == kStatusFirmwareNotTaken) {
            firmware = TextOf("ORB_IDS_WHY_NOT_UPDATED");
        } else if (shown.status == kStatusFirmwareUpdateFailed) {
            firmware = TextOf("ORB_IDS_WHY_UPDATE_FAILED");
        }
        firmware.replace(QStringLiteral("{before}"), Version(shown.versionBefore));
        firmware.replace(QStringLiteral("{after}"), Version(shown.version));
    }
    if (shown.status == kStatusCannotAccess && firmware.isEmpty()) {
        firmware = TextOf("ORB_IDS_WHY_NOT_BACK");
    }
    const char* key = shown.action == kActionNone ? FailureKey(shown.failureReason) : nullptr;
    const QString failure = key != nullptr ? TextOf(key) : QString();
    if (firmware.isEmpty() || failure.isEmpty()) {
        return firmware.isEmpty() ? failure : firmware;
    }
    return firmware + QStringLiteral("\n") + failure;
}

}  // namespace tarrowind
