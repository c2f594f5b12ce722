#pragma once
// User-interface services for tests below the shell: every message box is recorded and answered OK;
// file dialogs are cancelled.
#include "globals/UIServicesIntf.h"

#include <string>
#include <vector>

struct TRecordingUI : IUIServices {
    std::vector<std::string> Messages;
    TModalResult MessageDlg(QWidget*, const std::string& Text, TMsgDlgType, unsigned) override
    {
        Messages.push_back(Text);
        return mrOk;
    }
};
