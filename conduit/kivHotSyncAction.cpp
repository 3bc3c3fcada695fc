#include "conduit/kivHotSyncAction.h"

#include "rtl/SysUtils.h"

namespace kiv {

TkivHotSyncActionDialog::TkivHotSyncActionDialog(rtl::TComponent* owner) : TComponent(owner, StaticClassName) {}

// Placeholder until the forms layer exists: the dialog cannot be shown yet.
bool TkivHotSyncActionDialog::Execute() { throw rtl::Exception("The HotSync action dialog is not available"); }

}  // namespace kiv
