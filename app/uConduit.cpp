#include "app/uConduit.h"

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "app/CardFolders.h"
#include "app/Outbox.h"
#include "app/OutboxRule.h"
#include "app/QueueLock.h"
#include "app/uConduit_Setup.h"
#include "app/PathRules.h"
#include "app/Settings.h"
#include "rtl/Classes.h"
#include "rtl/FileAccess.h"
#include "rtl/IniFiles.h"
#include "rtl/Paths.h"
#include "rtl/Text.h"
#include "rtl/WinHandles.h"

namespace app {

TdmConduit* dmConduit = nullptr;

namespace {

namespace setup = settings::setup;
namespace queue = settings::queue;
namespace folders = settings::folders;
namespace ownFolder = settings::ownFolder;
namespace outboxKeys = settings::outbox;

// A queue tool holds the queue for milliseconds; a HotSync that cannot
// have it leaves the outbox's new files for the next one.
constexpr uint32_t kOutboxLockWaitMs = 5000;
constexpr uint32_t kLastPosition = 2147483647u;

constexpr uint32_t FourCC(const char (&code)[5]) {
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
           (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}
constexpr uint32_t kSecureDigital = FourCC("sdig");
constexpr uint32_t kMultiMediaCard = FourCC("mmcd");

// The VFS library's volume record is 28 bytes with the media type at offset
// 20; a larger zeroed buffer keeps a library that writes more from harming us.
constexpr size_t kVolumeInfoBuffer = 64;
constexpr size_t kVolumeMediaTypeOffset = 20;

// A Secure Digital slot also takes MultiMediaCards; not the other way round.
bool Accepts(uint32_t configured, uint32_t volume) {
    return volume == configured || (configured == kSecureDigital && volume == kMultiMediaCard);
}


// The positions queued when the walk starts, each once, in ascending order.
std::vector<uint32_t> QueuedPositions(rtl::TIniFile& ini) {
    std::vector<uint32_t> positions;
    for (const std::string& key : ini.ReadSection(queue::kSection))
        if (const auto n = rules::QueuePosition(key)) positions.push_back(*n);
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    return positions;
}

// Whether deleted keys can reach the settings file: it has no read-only
// attribute and can be opened for writing now. A queue that cannot shrink
// is not installed, or its files would be copied again at every HotSync.
bool QueueCanShrink(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    const rtl::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

// The walk's closing step, also when an exception passes through: the
// blank lines of the deleted keys leave the file.
struct SettingsFileCloser {
    rtl::TIniFile& ini;
    ~SettingsFileCloser() { ini.UpdateFile(); }
};

}  // namespace

TdmConduit::TdmConduit(rtl::TComponent* owner) : rtl::TComponent(owner, StaticClassName) {
    CreateStoredComponents();
    DataModuleCreate();
}

// What the module's stored form holds: the conduit component and its
// property values, assigned in this order through the setters, so that a
// value a setter refuses stops the creation.
void TdmConduit::CreateStoredComponents() {
    Palm = new kiv::TkivPalmComponent(this);
    Palm->SetName("Palm");
    Palm->SetConduitName("Tolvane");
    Palm->SetConduitVersion("0.3");
    Palm->SetPriority(2);
    Palm->SetDirectory("Tolvane");
    Palm->SetInformation("Tolvane Conduit");
    Palm->SetCreatorID("tVan");
    Palm->OnConfigConduit = [this](kiv::TkivCfgConduitInfo& data) { PalmConfigConduit(data); };
    Palm->OnExecConduit = [this](const kiv::TkivSyncProperties& props) { PalmExecConduit(props); };
}

void TdmConduit::DataModuleCreate() {}

std::string TdmConduit::GetUserDirectory(const std::string& pathName) const {
    return rules::ConduitFolder(pathName, settings::kFolderName);
}

TVolumeRefs TdmConduit::FindCardVolume(uint32_t mediaType) const {
    for (const uint16_t ref : GetVolumeRefs()) {
        unsigned char info[kVolumeInfoBuffer] = {};
        if (palm::VFSVolumeInfo(ref, info) != 0) continue;  // unreadable: passed over
        uint32_t volumeType = 0;
        std::memcpy(&volumeType, info + kVolumeMediaTypeOffset, sizeof volumeType);
        if (Accepts(mediaType, volumeType)) return {ref};
    }
    return {};
}

std::string TdmConduit::SettingsFile() const { return FUserDirectory + std::string(settings::kFileName); }

void TdmConduit::PalmConfigConduit(kiv::TkivCfgConduitInfo& data) {
    if (!fConduit_Setup) throw rtl::Exception("The setup dialog is not there");
    TfConduit_Setup& form = *fConduit_Setup;
    // The folder that the HotSync run reads, however the host spelt the
    // user's folder (with or without its final "\", or as its "dir"
    // sub-folder); kept without the final "\".
    const std::string pathName = rtl::BufferText(data.PathName);
    const std::string folder = GetUserDirectory(pathName);
    FUserDirectory = folder.substr(0, folder.size() - 1);
    CreateDirectoryA(FUserDirectory.c_str(), nullptr);  // one level; it may well exist already
    const std::string settingsFile = FUserDirectory + "\\" + std::string(settings::kFileName);
    rtl::TIniFile ini(settingsFile);
    // Its defaults would be shown as the user's settings, and OK could not
    // keep a change anyway.
    if (ini.TooLarge()) RefuseTooLarge(ini.FileName());
    form.Slots = GetSlots(data.UserID);
    form.DestDirectory = ini.ReadString(setup::kSection, setup::kDirectory, setup::kDefaultDirectory);
    form.MediaType = static_cast<uint32_t>(ini.ReadInteger(setup::kSection, setup::kMediaType, setup::kDefaultMediaType));
    form.ConduitEnabled = ini.ReadBool(setup::kSection, setup::kEnabled, setup::kDefaultEnabled);
    form.SettingsFileExists = rtl::FileExists(settingsFile);
    form.ShowSettings();
    if (form.Execute() != rtl::mrOk) return;
    SaveSettings(ini, form);
    data.SyncPref = kiv::ePermanent;
    data.SyncNew = form.ConduitEnabled ? kiv::ePCtoHH : kiv::eDoNothing;
}

// Neither shown nor saved: the configuration fails as a failed save does.
void TdmConduit::RefuseTooLarge(const std::string& file) {
    rtl::MessageDlg("Tolvane cannot use the settings file " + file +
                        ": it is larger than a settings file can be, so Tolvane neither reads nor changes it, and "
                        "no HotSync installs its queue.\n\nAnother program may have written it. Move it out of "
                        "the folder (Tolvane then starts a new one), then configure the conduit again.",
                    Palm->ConduitName(), MB_OK | MB_ICONERROR);
    throw rtl::EIniFileException("Unable to write to " + file);
}

// A write that fails throws before the record is touched, after the user
// has been told that the choice was not kept and what to do about it.
void TdmConduit::SaveSettings(rtl::TIniFile& ini, const TfConduit_Setup& form) {
    try {
        ini.WriteString(setup::kSection, setup::kDirectory, form.DestDirectory);
        ini.WriteInteger(setup::kSection, setup::kMediaType, static_cast<int32_t>(form.MediaType));
        ini.WriteBool(setup::kSection, setup::kEnabled, form.ConduitEnabled);
    } catch (const rtl::EIniFileException&) {
        if (ini.TooLarge()) RefuseTooLarge(ini.FileName());
        rtl::MessageDlg("Tolvane could not save your settings in " + ini.FileName() +
                            ".\n\nThe file is read-only or another program has it open. Clear its read-only "
                            "attribute or close that program, then configure the conduit again.",
                        Palm->ConduitName(), MB_OK | MB_ICONERROR);
        throw;
    }
    ini.UpdateFile();
}

void TdmConduit::PalmExecConduit(const kiv::TkivSyncProperties& props) {
    FUserDirectory = GetUserDirectory(rtl::BufferText(props.PathName));
    if (!rtl::FileExists(SettingsFile())) {
        Palm->AddLogEntry(SettingsFile() + " not found. Did you configure the Conduit?", kiv::slWarning, false);
        return;
    }
    rtl::TIniFile ini(SettingsFile());
    // A file too large to be read whole is not read at all: its first bytes
    // alone would be taken for the whole queue.
    if (ini.TooLarge()) {
        Palm->AddLogEntry(SettingsFile() + " is too large to be a settings file: no queued file was installed.",
                          kiv::slWarning, false);
        return;
    }
    // A file that another program holds without sharing would read as all
    // defaults, and the log would blame the card instead.
    if (!ini.Readable()) {
        LogQueueCannotShrink();
        return;
    }
    if (!ini.ReadBool(setup::kSection, setup::kEnabled, setup::kDefaultEnabled)) return;
    UseCardDirectory(ini.ReadString(setup::kSection, setup::kDirectory, setup::kDefaultDirectory));
    const TVolumeRefs volumes = FindCardVolume(
        static_cast<uint32_t>(ini.ReadInteger(setup::kSection, setup::kMediaType, setup::kDefaultMediaType)));
    if (volumes.empty()) {
        Palm->AddLogEntry("Tolvane found no VFS volume. Did you configure the Conduit?", kiv::slWarning, false);
        return;
    }
    FVolumeRef = volumes.front();
    QueueOutbox(ini);
    InstallQueuedFiles();
    MoveSentFiles();
}

// A stored directory that no card can take installs nothing (see
// InstallFile); one with a final "/" is used without it.
void TdmConduit::UseCardDirectory(const std::string& stored) {
    const rules::CardDirectoryCheck check = rules::CheckSetupDirectory(stored);
    FCardDirectory = check.Usable() ? check.directory : stored;
    FCardDirectoryUsable = check.Usable();
}

void TdmConduit::LogQueueCannotShrink() {
    Palm->AddLogEntry(SettingsFile() + " is read-only or in use: no queued file was installed.", kiv::slWarning, false);
}

void TdmConduit::InstallQueuedFiles() {
    rtl::TIniFile ini(SettingsFile());
    const std::vector<uint32_t> positions = QueuedPositions(ini);
    // An empty queue has nothing to lose: it says nothing, writable or not.
    if (positions.empty()) return;
    if (!QueueCanShrink(SettingsFile())) {
        LogQueueCannotShrink();
        return;
    }
    SettingsFileCloser closer{ini};
    FCopied.clear();
    for (const uint32_t n : positions) {
        const std::string key = rules::QueueKey(n);
        // A key that another program took off the queue meanwhile is gone.
        // The file and its folder come from one look at the settings file.
        bool exact = true;
        std::optional<std::string> source;
        TCardFolder folder;
        {
            const rtl::TIniFile::OneLook look(ini);
            source = ini.ReadValue(queue::kSection, key, exact);
            if (source) folder = FolderOf(ini, key, *source);
        }
        if (!source) continue;
        // A path of a Unicode settings file that the ANSI code page cannot
        // spell would reach the card library mangled, as another file's name.
        if (!exact) {
            RefuseFile(rules::CardName(*source), folder.directory);
            continue;
        }
        // Deleted only while it still names the file just installed: a key
        // that was given a new file meanwhile stays queued, and so does the
        // folder entry that belongs to it. The queue key goes first: a
        // folder entry without its queue key is never applied, while a
        // queue key without its folder entry would send a file elsewhere.
        if (!InstallFile(*source, folder) || !ini.DeleteKeyIfValue(queue::kSection, key, *source)) continue;
        if (ini.ValueExists(ownFolder::kSection, key)) ini.DeleteKey(ownFolder::kSection, key);
        if (!FOutboxFiles.empty()) FInstalled.push_back(*source);
    }
}

// Before the walk, the outbox's files that are not queued yet join the
// queue as a queue tool would add them, all in one write of the settings
// file; the walk then treats them as any queued file. A file that cannot go
// is named in the log once and stays where it is.
void TdmConduit::QueueOutbox(rtl::TIniFile& ini) {
    FOutboxFiles.clear();
    FInstalled.clear();
    bool exact = true;
    const std::optional<std::string> setting = ini.ReadValue(outboxKeys::kSection, outboxKeys::kFolder, exact);
    FOutboxFolder = setting && exact ? outbox::FolderOf(*setting) : "";
    if (!setting || setting->empty()) return;
    if (FOutboxFolder.empty() || GetFileAttributesA(FOutboxFolder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        Palm->AddLogEntry("The outbox " + *setting + " was not found: no file was taken from it.", kiv::slWarning, false);
        FOutboxFolder.clear();
        return;
    }
    // Checked at every HotSync: the settings file may have been written by
    // hand or by another program, and folders change.
    const std::string refusal = outbox::OutboxRefusal(FOutboxFolder);
    if (!refusal.empty()) {
        Palm->AddLogEntry("The outbox " + *setting + " is refused, and no file was taken from it: " + refusal + ".",
                          kiv::slWarning, false);
        FOutboxFolder.clear();
        return;
    }
    std::vector<outbox::OutboxFile> files = outbox::Scan(FOutboxFolder, FUserDirectory);
    if (files.empty()) return;
    std::optional<QueueLock> lock;
    try {
        lock.emplace(SettingsFile(), kOutboxLockWaitMs);
    } catch (const rtl::Exception& e) {
        Palm->AddLogEntry("No file of the outbox was queued: " + e.Message(), kiv::slWarning, false);
        return;
    }
    {
        std::set<std::string> queued;
        outbox::TakenPaths taken;
        uint32_t highest = 0;
        {
            const rtl::TIniFile::OneLook look(ini);
            for (const auto& [key, value] : ini.ReadSectionValues(queue::kSection))
                if (const auto n = rules::QueuePosition(key)) {
                    highest = std::max(highest, *n);
                    queued.insert(rtl::FoldedInCodePage(value));
                    const TCardFolder folder = FolderOf(ini, key, value);
                    const std::string name = rules::CardName(value);
                    taken.emplace(rtl::FoldedInCodePage(rules::CardPath(folder.directory, name)), name + " (" + key + ")");
                }
        }
        outbox::Plan(files, queued, taken,
                     [&](const std::string& name) { return outbox::TopFolderOf(ini, name, FCardDirectory); });
        std::vector<rtl::IniChange> changes;
        for (outbox::OutboxFile& file : files) {
            if (file.problem.empty() && !file.queued && highest == kLastPosition)
                file.problem = "the queue has reached its last key";
            if (!file.problem.empty()) {
                Palm->AddLogEntry(file.shown + " stays in the outbox: " + file.problem + ".", kiv::slWarning, false);
                continue;
            }
            FOutboxFiles.insert(rtl::FoldedInCodePage(file.path));
            if (file.queued) continue;
            const std::string key = rules::QueueKey(++highest);
            // A folder entry left from an earlier file of the number goes.
            if (file.cardFolder || ini.ValueExists(ownFolder::kSection, key))
                changes.push_back({std::string(ownFolder::kSection), key, file.cardFolder});
            changes.push_back({std::string(queue::kSection), key, file.path});
        }
        if (changes.empty()) return;
        try {
            ini.WriteChanges(changes);
        } catch (const rtl::EIniFileException&) {
            Palm->AddLogEntry(SettingsFile() + " is read-only or in use: no file of the outbox was queued.",
                              kiv::slWarning, false);
        }
    }
}

// After the walk, each outbox file that reached the card and left the queue
// goes into Sent. One that cannot go stays, and is installed again by the
// next HotSync: a file is never in Sent before its key has left the queue.
void TdmConduit::MoveSentFiles() {
    for (const std::string& source : FInstalled) {
        if (!FOutboxFiles.count(rtl::FoldedInCodePage(source))) continue;
        const std::optional<std::string> relative = outbox::Inside(FOutboxFolder, source);
        if (!relative) continue;
        const std::string problem = outbox::MoveToSent(FOutboxFolder, *relative);
        if (!problem.empty())
            Palm->AddLogEntry(*relative + " is on the card but stays in the outbox: it could not be moved into " +
                                  std::string(outboxKeys::kSentFolder) + " (" + problem +
                                  "). The next HotSync installs it again.",
                              kiv::slWarning, false);
    }
    FInstalled.clear();
}

// The file's own folder, else its type's, else the setup directory. A
// folder from the sections is checked like the setup dialog's; one that the
// ANSI code page cannot spell is no folder a card can take either.
TCardFolder TdmConduit::FolderOf(rtl::TIniFile& ini, const std::string& key, const std::string& source) const {
    bool ownExact = true, typeExact = true;
    const std::string type = rules::FileType(rules::CardName(source));
    const std::optional<std::string> byType =
        type.empty() ? std::nullopt : ini.ReadValue(folders::kSection, type, typeExact);
    const rules::FolderChoice choice =
        rules::ChooseFolder(ini.ReadValue(ownFolder::kSection, key, ownExact), byType, "");
    if (choice.source == rules::FolderSource::Default) return {FCardDirectory, FCardDirectoryUsable, false};
    const bool exact = choice.source == rules::FolderSource::Own ? ownExact : typeExact;
    const rules::CardDirectoryCheck check = rules::CheckCardDirectory(choice.stored);
    return {check.Usable() ? check.directory : choice.stored, check.Usable() && exact, true};
}

// The setup directory keeps its single call; a folder from the sections may
// be deeper than any that exists, and a card makes one level at a time.
void TdmConduit::MakeDirectory(const TCardFolder& folder) const {
    if (folder.directory == rules::kCardRoot) return;  // every card has its root
    if (!folder.levelByLevel) {
        palm::VFSDirCreate(FVolumeRef, folder.directory.c_str());
        return;
    }
    for (const std::string& level : rules::DirectoryLevels(folder.directory))
        palm::VFSDirCreate(FVolumeRef, level.c_str());
}

// Two entries that other programs queued for one card path both reach the
// card, and the second copy replaces the first: its line says so, since
// the first one's line alone would have the user look for a lost file.
std::string TdmConduit::Replaced(const std::string& target, const std::string& source) {
    const auto [copied, first] = FCopied.try_emplace(rtl::FoldedInCodePage(target), source);
    if (first || rtl::SameTextInCodePage(copied->second, source)) return "";
    const std::string replaced = std::exchange(copied->second, source);
    return ", replacing the copy of " + replaced;
}

// A file that cannot be given to the card library: shown and logged as a
// failed copy, with -1 for the code that no card call produced.
bool TdmConduit::RefuseFile(const std::string& name, const std::string& directory) {
    Palm->ShowStatus("Installing " + name + " to " + directory);
    Palm->AddLogEntry("Error installing " + name + ": -1", kiv::slText, false);
    return false;
}

bool TdmConduit::InstallFile(const std::string& source, const TCardFolder& folder) {
    const std::string name = rules::CardName(source);
    if (!folder.usable || !rules::InstallableName(name)) return RefuseFile(name, folder.directory);
    // An outbox file is copied as itself, held so that it cannot change
    // between the check and the copy.
    std::optional<rtl::UniqueFile> held;
    if (FOutboxFiles.count(rtl::FoldedInCodePage(source)))
        if (const std::optional<std::string> relative = outbox::Inside(FOutboxFolder, source)) {
            held = outbox::HoldToSend(FOutboxFolder, *relative);
            if (!held) {
                Palm->AddLogEntry(*relative + " stays in the outbox: it is a link or leads out of the outbox, and "
                                              "links are never followed.",
                                  kiv::slWarning, false);
                return false;
            }
        }
    Palm->ShowStatus("Installing " + name + " to " + folder.directory);
    MakeDirectory(folder);
    const std::string target = rules::CardPath(folder.directory, name);
    // Without a readable source the card's older copy is the best one left:
    // a file held by another program or closed to the user keeps it too.
    if (rtl::OpenableForReading(source)) palm::VFSFileDelete(FVolumeRef, target.c_str());
    const long result = palm::VFSFilePut(FVolumeRef, target.c_str(), source.c_str());
    if (result == 0) {
        Palm->AddLogEntry(name + " installed to " + folder.directory + Replaced(target, source), kiv::slText, false);
        return true;
    }
    Palm->AddLogEntry("Error installing " + name + ": " + std::to_string(static_cast<int32_t>(result)), kiv::slText,
                      false);
    return false;
}

void StartConduitModule() { rtl::CreateUnitComponent(dmConduit); }

void StopConduitModule() noexcept { rtl::FreeUnitComponent(dmConduit); }

}  // namespace app
