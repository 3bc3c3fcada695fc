// The standard "Change HotSync Action" dialog of the component library: the
// user picks one of four HotSync actions and whether it becomes the default.
//
// TkivHotSyncActionForm is the form, built anew for every Execute;
// TkivHotSyncActionDialog is the component that fills it from its fields,
// shows it modally and reads the choice back.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "rtl/Classes.h"
#include "ui/Forms.h"
#include "ui/Graphics.h"

namespace kiv {

// Action indexes shared by the form, the dialog and the default configuration.
enum HotSyncActionIndex : int32_t { aiSyncFiles = 0, aiPCtoHH = 1, aiHHtoPC = 2, aiDoNothing = 3 };
constexpr int kHotSyncActionCount = 4;

// The 44 x 20 picture shown beside the action of that index; throws
// Exception for an index outside 0 to 3.
std::shared_ptr<const rtl::TBitmap> HotSyncActionPicture(int index);

// The action form's controls: the rows of its design table, in order.
enum class ActionControl : size_t {
    GBActions,
    Image1,
    Image2,
    Image3,
    Image4,
    RBSyncFiles,
    RBPCtoHH,
    RBHHtoPC,
    RBDoNothing,
    BtnOk,
    BtnCancel,
    BtnHelp,
    CBSetAsDefault,
    BtnData,
    BtnAbout,
    Count
};

class TkivHotSyncActionForm : public rtl::TForm {
public:
    static constexpr const char* StaticClassName = "TkivHotSyncActionForm";
    explicit TkivHotSyncActionForm(rtl::TComponent* owner);

    rtl::TControl& GBActions = Control(ActionControl::GBActions);
    rtl::TControl& Image1 = Control(ActionControl::Image1);
    rtl::TControl& Image2 = Control(ActionControl::Image2);
    rtl::TControl& Image3 = Control(ActionControl::Image3);
    rtl::TControl& Image4 = Control(ActionControl::Image4);
    rtl::TControl& RBSyncFiles = Control(ActionControl::RBSyncFiles);
    rtl::TControl& RBPCtoHH = Control(ActionControl::RBPCtoHH);
    rtl::TControl& RBHHtoPC = Control(ActionControl::RBHHtoPC);
    rtl::TControl& RBDoNothing = Control(ActionControl::RBDoNothing);
    rtl::TControl& BtnOk = Control(ActionControl::BtnOk);
    rtl::TControl& BtnCancel = Control(ActionControl::BtnCancel);
    rtl::TControl& BtnHelp = Control(ActionControl::BtnHelp);
    rtl::TControl& CBSetAsDefault = Control(ActionControl::CBSetAsDefault);
    rtl::TControl& BtnData = Control(ActionControl::BtnData);
    rtl::TControl& BtnAbout = Control(ActionControl::BtnAbout);
    // The radio buttons by action index.
    const std::array<rtl::TControl*, kHotSyncActionCount> RadioButtons{&RBSyncFiles, &RBPCtoHH, &RBHHtoPC,
                                                                        &RBDoNothing};

    // Both throw Exception for an index outside 0 to 3, changing nothing.
    void SetActionEnabled(int32_t index, bool enabled);
    // Checks that action, or the first enabled one when it is disabled.
    void SetActionIndex(int32_t index);
    // The first checked action, -1 when none is.
    int32_t ActionIndex() const;

    // Puts the optional buttons that are visible at the group box's bottom.
    void FormShow(rtl::TComponent* sender);
};

class TkivHotSyncActionDialog : public rtl::TComponent {
public:
    static constexpr const char* StaticClassName = "TkivHotSyncActionDialog";
    explicit TkivHotSyncActionDialog(rtl::TComponent* owner);

    bool ActionEnabled[kHotSyncActionCount] = {true, true, true, true};
    std::string ConduitName;
    int32_t ActionIndex = aiSyncFiles;  // preselected; after OK the choice (-1: none)
    bool SetAsDefault = false;          // after OK, the state of "Set &as Default"
    std::string BtnDataCaption = "Data settings";
    rtl::TNotifyEvent OnBtnDataClick;
    std::string BtnAboutCaption = "About";
    rtl::TNotifyEvent OnBtnAboutClick;

    // Shows the dialog modally; true when the user closed it with OK. Throws
    // "Invalid index to ActionEnabled property" before showing anything when
    // ActionIndex lies outside 0 to 3.
    bool Execute();
};

}  // namespace kiv
