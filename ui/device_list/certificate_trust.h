#pragma once

#include <QString>

#include <vector>

#include "discovery/device_record.h"

namespace tarrowind {

class CControllerListCtrl;
class KnownModules;

// A module that shows another certificate than the one remembered for it is refused until the user, who
// sees both keys in the row's tooltip, takes the new one. Without known modules nothing is remembered.

// The certificate change of a row, as its status tooltip tells it; empty for other rows.
QString CertificateNote(KnownModules* known, const DeviceRecord& shown);
// Whether any of the selected rows' snapshots holds a changed certificate that may be taken now.
bool MayTrustNewCertificate(const KnownModules* known, const std::vector<const DeviceRecord*>& selected);
// The selected rows' changed certificates become their modules' own.
void TrustNewCertificates(KnownModules* known, CControllerListCtrl& list);

}  // namespace tarrowind
