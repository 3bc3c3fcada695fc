// A HotSync user's outbox as the queue tools show and set it: the folder
// that [Outbox] names, and its files judged as the next HotSync will judge
// them (app/Outbox.h): which it queues and where they go, which are queued
// already, and which stay and why.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "app/Outbox.h"
#include "tools/queue/DesktopUsers.h"
#include "tools/queue/QueueFile.h"

namespace queuetool {

struct OutboxView {
    std::string folder;    // as set; empty: the user has no outbox
    bool missing = false;  // the folder set is gone
    std::string refusal;   // why the HotSync takes nothing from it (app/OutboxRule.h); empty when it may be one
    std::vector<app::outbox::OutboxFile> files;
};

// `preview` is the queue's (QueueFile::MakePreview; files need not be checked).
OutboxView ViewOutbox(QueueFile& queue, const DesktopUser& user, const Preview& preview);

// Whether a queued path lies in the outbox: the queue tools mark such entries.
bool FromOutbox(const OutboxView& view, const std::string& source);

// A folder that the user names for the outbox, made full; none and why
// (a sentence) when it cannot be one: it has no ANSI form, is missing (and
// not to be created), is no folder, or the outbox rule refuses it
// (app/OutboxRule.h).
// With `create` a missing folder is made, and a Sent folder in it.
// A folder made with `create` is private to the user (tools/queue/FolderAccess.h);
// `warning` says who else may write into the folder and what that means, or
// that a folder made here could not be made private.
struct OutboxChoice {
    std::optional<std::string> folder;
    std::wstring refusal;
    std::wstring warning;
};
OutboxChoice ChooseOutbox(const std::wstring& given, bool create);

// Sets (or, with "", switches off) the user's outbox.
void SetOutbox(QueueFile& queue, const DesktopUser& user, const std::string& folder);

}  // namespace queuetool
