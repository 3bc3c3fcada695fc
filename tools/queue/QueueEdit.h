// A change of one user's queue made in one pass, however many files it
// touches. Every program that changes a queue (the queue tool, the queue
// window, Send To) goes through it:
//
//   QueueEdit edit(settingsFile, NewSettings{mediaType});  // lock, one read
//   for (...) if (!edit.KeyOf(path)) edit.Add(path, folder);
//   edit.Commit();                                         // one write
//
// - The queue lock (app/QueueLock.h) is held from the read to the write, so two
//   programs never choose one key; a HotSync needs no lock (it only deletes).
// - The settings file is read once, when the edit begins, and written once,
//   by Commit, with every change in it (rtl::TIniFile::WriteChanges): a
//   batch of a thousand files costs one read and one write of the file.
// - "Queued already" is a lookup in a table of the entries' paths, made
//   full and long once per edit, not a scan of the queue per file.
// - Nothing is written without Commit: an edit dropped on the way (a refusal,
//   an exception) leaves the file as it was.
// Reads of other keys for the same moment of the file (card folders by type,
// [Setup]) go through File(), which answers from the edit's one look.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/QueueLock.h"
#include "rtl/IniFiles.h"
#include "tools/queue/QueueFile.h"

namespace queuetool {

class QueueEdit {
public:
    // Takes the lock (throws rtl::Exception when another program keeps it)
    // and reads the queue. A settings file that does not exist yet is made
    // by Commit, beginning as the setup dialog's defaults with `settings`.
    QueueEdit(const std::string& settingsFile, const NewSettings& settings);
    QueueEdit(const QueueEdit&) = delete;
    QueueEdit& operator=(const QueueEdit&) = delete;

    // The queue with the changes made so far, in walk order.
    std::vector<QueueEntry> Entries() const;
    // The entry of a key, in any letter case; none when not queued.
    const QueueEntry* Find(std::string_view key) const;
    // The key under which a file (a full long path, SourcePath.h) is queued,
    // under any spelling of its path; files added in this edit included.
    std::optional<std::string> KeyOf(const std::string& path) const;

    // Queues a file under the key after the highest position and returns
    // the key. With a card directory (checked by the caller) the entry gets
    // its own folder; without one, a folder entry left over from an earlier
    // entry of that number goes. Throws rtl::Exception when the queue has
    // reached its last position.
    std::string Add(const std::string& path, const std::optional<std::string>& cardDirectory);
    // Gives a queued entry its own card folder, or (none) takes it away.
    void SetOwnFolder(const std::string& key, const std::optional<std::string>& cardDirectory);
    // Sets the card folder of a file type ([Folders]); "" removes the rule.
    void SetTypeFolder(const std::string& type, const std::string& cardDirectory);
    // Sets the outbox folder ([Outbox]); "" switches the outbox off.
    void SetOutboxFolder(const std::string& folder);
    // Takes an entry off the queue: every line of its key, and its own
    // folder. False when no such key is queued.
    bool Remove(std::string_view key);

    // The settings file, for reads in the edit's one look at it.
    rtl::TIniFile& File() noexcept { return ini_; }

    // Writes every change in one go, creating the folder and the file when
    // needed. Throws rtl::Exception when the file cannot be written; nothing
    // of the edit is in it then. Returns false when the file, read again,
    // holds none of the files this edit queued: another program wrote back
    // an older text over ours, and the caller should begin a new edit.
    bool Commit();

private:
    std::string fileName_;
    NewSettings settings_;
    app::QueueLock lock_;
    rtl::TIniFile ini_;
    std::optional<rtl::TIniFile::OneLook> look_;
    bool created_ = false;  // the file did not exist: Commit writes the setup too
    std::map<uint32_t, QueueEntry> byPosition_;
    std::unordered_map<std::string, uint32_t> byKey_;   // folded key -> position
    std::unordered_map<std::string, std::string> byPath_;  // folded full long path -> key
    std::vector<rtl::IniChange> changes_;
    std::vector<std::pair<std::string, std::string>> added_;  // key, path
};

}  // namespace queuetool
