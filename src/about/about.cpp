// The About window's handlers. A link is armed while the pointer is over it: it drags itself,
// which is how a label learns that the pointer has left it (a drag's leave event); releasing the
// button over it drops it on itself, which opens its web site.
#include "about/about.h"

#include "platform/shell_execute.h"
#include "shared/addresses.h"

namespace {
constexpr platform::Colour kLinkBlue = 0x0000FF;
constexpr platform::Colour kLinkArmed = 0x000000;

void arm(platform::Label& link) {
    link.setForeColor(kLinkArmed);
    link.setFontUnderline(true);
    link.Drag(platform::DragAction::Begin);
}

void rest(platform::Label& link) {
    link.setFontUnderline(false);
    link.setForeColor(kLinkBlue);
}
}  // namespace

void about::Form_MouseMove() { Label2.setFontBold(false); }

// However the window goes away, the main window must not stay disabled.
void about::Form_Unload(int&) { Form1.setEnabled(true); }

void about::Label2_MouseMove() { Label2.setFontBold(true); }

void about::Label2_Click() {
    Form1.setEnabled(true);
    platform::Unload(*this);
}

void about::lblURL_MouseMove() { arm(lblURL); }

void about::lblURL_DragOver(platform::Control&, platform::DragState state) {
    if (state != platform::DragState::Leave) return;
    lblURL.Drag(platform::DragAction::End);
    rest(lblURL);
}

void about::lblURL_DragDrop(platform::Control& source) {
    if (&source != &lblURL) return;
    rest(lblURL);
    platform::ShellExecute(addresses::kPublisherSite);
}

void about::lblURL2_MouseMove() { arm(lblURL2); }

void about::lblURL2_DragOver(platform::Control&, platform::DragState state) {
    if (state != platform::DragState::Leave) return;
    lblURL2.Drag(platform::DragAction::End);
    rest(lblURL2);
}

void about::lblURL2_DragDrop(platform::Control& source) {
    if (&source != &lblURL2) return;
    rest(lblURL2);
    platform::ShellExecute(addresses::kStudioSite);
}
