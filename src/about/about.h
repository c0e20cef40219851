#pragma once

#include "platform/form.h"
#include "platform/label.h"

// The About window: what the player is for, who presents it and who designed it, with links to
// both web sites. While it is open the main window is disabled, so it behaves like a dialog.
class about : public platform::Form {
public:
    explicit about(platform::Form& mainWindow);

    platform::Label lblURL2{*this};
    platform::Label lblURL{*this};
    platform::Label Label4{*this};
    platform::Label Label3{*this};
    platform::Label Label2{*this};
    platform::Label Label1{*this};

private:
    void design();
    void connectHandlers();

    void Form_MouseMove();
    void Form_Unload(int& cancel);
    void Label2_MouseMove();
    void Label2_Click();
    void lblURL_MouseMove();
    void lblURL_DragOver(platform::Control& source, platform::DragState state);
    void lblURL_DragDrop(platform::Control& source);
    void lblURL2_MouseMove();
    void lblURL2_DragOver(platform::Control& source, platform::DragState state);
    void lblURL2_DragDrop(platform::Control& source);

    platform::Form& Form1;
};
