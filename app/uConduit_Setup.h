// The conduit's setup dialog: switches the card install on or off, chooses
// the expansion card by the slots the desktop recorded for the user, and the
// destination directory on the card.
//
// fConduit_Setup is created when the library starts and freed when it
// unloads; its window (and the picture and font it shows) exist only while
// ShowModal runs, so neither start nor stop creates or destroys a window
// under the loader lock. The data module fills the public fields, calls
// ShowSettings and ShowModal, and reads the fields back after OK.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/memorycard.h"
#include "ui/Forms.h"
#include "ui/Graphics.h"

namespace app {

// The 105 x 150 product picture: a handheld with an expansion card going
// into its slot, on the form's white.
std::shared_ptr<const rtl::TBitmap> ProductPicture();

// The setup form's controls: the rows of its design table, in order.
enum class SetupControl : size_t {
    IAbout,
    lTitle,
    bLine,
    bOK,
    bCancel,
    cbInstall,
    lCard,
    cbCard,
    lDestination,
    cbDestination,
    Count
};

class TfConduit_Setup : public rtl::TForm {
public:
    static constexpr const char* StaticClassName = "TfConduit_Setup";
    explicit TfConduit_Setup(rtl::TComponent* owner);

    rtl::TControl& IAbout = Control(SetupControl::IAbout);
    rtl::TControl& lTitle = Control(SetupControl::lTitle);
    rtl::TControl& bLine = Control(SetupControl::bLine);
    rtl::TControl& bOK = Control(SetupControl::bOK);
    rtl::TControl& bCancel = Control(SetupControl::bCancel);
    rtl::TControl& cbInstall = Control(SetupControl::cbInstall);
    rtl::TControl& lCard = Control(SetupControl::lCard);
    rtl::TControl& cbCard = Control(SetupControl::cbCard);
    rtl::TControl& lDestination = Control(SetupControl::lDestination);
    rtl::TControl& cbDestination = Control(SetupControl::cbDestination);

    // What the dialog shows and, after OK, what the user chose.
    std::string DestDirectory;
    TSlots Slots;                // item i of cbCard stands for Slots[i]
    uint32_t MediaType = 0;      // of the chosen slot; 0: none chosen
    bool ConduitEnabled = true;
    bool SettingsFileExists = false;

    // Puts the public fields into the controls.
    void ShowSettings();
    // The card and directory controls are enabled exactly while the install is ticked.
    void UpdateControls();
    void bOKClick(rtl::TComponent* sender);
    void cbInstallClick(rtl::TComponent* sender);

    // Shows the dialog with its picture, which lives only as long as the window.
    rtl::TModalResult Execute();

private:
    bool AcceptDirectory();
};

// The one setup form, while the library is started.
extern TfConduit_Setup* fConduit_Setup;

// The unit's start (creates fConduit_Setup, hidden and without owner) and stop.
void StartSetupForm();
void StopSetupForm() noexcept;

}  // namespace app
