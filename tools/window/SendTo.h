// Explorer's "Send To" menu hands the chosen files to the queue window's
// program. With several HotSync users it asks which one the files are for
// (the one chosen last comes first); then it queues the acceptable files
// and says in one short line what it did.
#pragma once
#include <string>
#include <vector>

namespace queuewindow {

// Returns 0 when files were queued (or were queued already), 1 when the
// user cancelled, 2 when nothing could be queued, 3 when the Palm Desktop
// or the settings file failed.
int SendTo(const std::vector<std::wstring>& files) noexcept;

}  // namespace queuewindow
