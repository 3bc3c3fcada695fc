// The conduit's data module: it owns the conduit component `Palm` and
// handles its HotSync event. A run finds the user's settings file, the card
// volume of the configured media type, and installs the queued files.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/memorycard.h"
#include "conduit/kivPalmComp.h"
#include "rtl/Classes.h"

namespace rtl {
class TIniFile;
}

namespace app {

class TfConduit_Setup;

// The card folder of one queued file, as the run uses it.
struct TCardFolder {
    std::string directory;      // as shown and logged
    bool usable = true;         // a card can take it
    bool levelByLevel = false;  // chosen by the folder sections: made one level at a time
};

class TdmConduit : public rtl::TComponent {
public:
    static constexpr const char* StaticClassName = "TdmConduit";

    explicit TdmConduit(rtl::TComponent* owner);

    // Owned by the data module, which destroys it.
    kiv::TkivPalmComponent* Palm = nullptr;

    // The user's conduit folder for a HotSync user's folder, ending in "\".
    std::string GetUserDirectory(const std::string& pathName) const;
    // Nothing, or the first mounted volume that takes cards of the media type.
    TVolumeRefs FindCardVolume(uint32_t mediaType) const;

    // Shows the setup dialog for the record's user and, on OK, writes the
    // settings file and hands the chosen HotSync action back in the record.
    void PalmConfigConduit(kiv::TkivCfgConduitInfo& data);
    void PalmExecConduit(const kiv::TkivSyncProperties& props);
    void InstallQueuedFiles();
    bool InstallFile(const std::string& source, const TCardFolder& folder);

    uint16_t VolumeRef() const noexcept { return FVolumeRef; }
    const std::string& CardDirectory() const noexcept { return FCardDirectory; }
    const std::string& UserDirectory() const noexcept { return FUserDirectory; }

private:
    void CreateStoredComponents();
    void DataModuleCreate();
    std::string SettingsFile() const;
    void SaveSettings(rtl::TIniFile& ini, const TfConduit_Setup& form);
    [[noreturn]] void RefuseTooLarge(const std::string& file);
    void UseCardDirectory(const std::string& stored);
    bool RefuseFile(const std::string& name, const std::string& directory);
    TCardFolder FolderOf(rtl::TIniFile& ini, const std::string& key, const std::string& source) const;
    void MakeDirectory(const TCardFolder& folder) const;
    void LogQueueCannotShrink();
    void QueueOutbox(rtl::TIniFile& ini);
    void MoveSentFiles();
    // ", replacing the copy of <file>" when this run copied another file to
    // the target already; remembers the source as the target's copy.
    std::string Replaced(const std::string& target, const std::string& source);

    uint16_t FVolumeRef = 0;
    std::string FCardDirectory;
    bool FCardDirectoryUsable = true;
    std::string FUserDirectory;
    // The outbox of this run: its folder, its files that may go (folded
    // paths), and the sources the walk installed and took off the queue.
    std::string FOutboxFolder;
    std::set<std::string> FOutboxFiles;
    std::vector<std::string> FInstalled;
    std::map<std::string, std::string> FCopied;  // card path (folded) -> the file copied there, this walk
};

// The one data module, while the library is started.
extern TdmConduit* dmConduit;

// The unit's start (creates dmConduit; throws when that fails) and stop.
void StartConduitModule();
void StopConduitModule() noexcept;

}  // namespace app
