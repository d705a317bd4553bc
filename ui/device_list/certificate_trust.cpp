#include "ui/device_list/certificate_trust.h"

#include <optional>
#include <string>

#include "localisation/string_table.h"
#include "operations/known_modules.h"
#include "ui/device_list/controller_list_ctrl.h"

namespace tarrowind {
namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

}  // namespace

QString CertificateNote(KnownModules* known, const DeviceRecord& shown)
{
    if (shown.status != kStatusCertificateChanged || known == nullptr) {
        return {};
    }
    const std::string mac = MacKey(shown.mac);
    const std::optional<KnownModule> before = known->Find(mac);
    const auto now = known->Refused(mac);
    QString note = Q(Text("ORB_IDS_SS_CERTIFICATE_CHANGED"));
    if (before) {
        note += QStringLiteral("\n") + Q(Text("ORB_IDS_CERT_KNOWN_KEY")) + QStringLiteral(": ") +
                (before->https ? Q(FingerprintHex(before->key)) : Q(Text("ORB_IDS_CERT_PLAIN_HTTP"))) +
                QStringLiteral("\n") + Q(Text("ORB_IDS_CERT_FIRST_SEEN")) + QStringLiteral(": ") + Q(before->firstSeen);
    }
    if (now) {
        note += QStringLiteral("\n") + Q(Text("ORB_IDS_CERT_SHOWN_KEY")) + QStringLiteral(": ") +
                (*now ? Q(FingerprintHex(**now)) : Q(Text("ORB_IDS_CERT_PLAIN_HTTP")));
    }
    return note;
}

bool MayTrustNewCertificate(const KnownModules* known, const std::vector<const DeviceRecord*>& selected)
{
    if (known == nullptr) {
        return false;
    }
    for (const DeviceRecord* shown : selected) {
        if (shown->status == kStatusCertificateChanged && shown->action == kActionNone) {
            return true;
        }
    }
    return false;
}

void TrustNewCertificates(KnownModules* known, CControllerListCtrl& list)
{
    if (known == nullptr) {
        return;
    }
    // Only what the module showed when it was refused is taken: the user saw that key in the row.
    for (DeviceRecord* r : list.SelectedRecords()) {
        if (r->status == kStatusCertificateChanged && r->action == kActionNone && known->TakeRefused(MacKey(r->mac))) {
            r->status = kStatusNone;
            list.Refresh(*r);
        }
    }
}

}  // namespace tarrowind
