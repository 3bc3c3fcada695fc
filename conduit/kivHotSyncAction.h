// The standard "Change HotSync Action" dialog of the component library: the
// user picks one of four HotSync actions and whether it becomes the default.
#pragma once
#include <cstdint>
#include <string>

#include "rtl/Classes.h"

namespace kiv {

// Action indexes shared by the form, the dialog and the default configuration.
enum HotSyncActionIndex : int32_t { aiSyncFiles = 0, aiPCtoHH = 1, aiHHtoPC = 2, aiDoNothing = 3 };
constexpr int kHotSyncActionCount = 4;

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

    // Shows the dialog modally; true when the user closed it with OK.
    bool Execute();
};

}  // namespace kiv
