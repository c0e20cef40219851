// The About window's design. Places are Left, Top, Width, Height in twips.
#include <string>

#include "about/about.h"
#include "shared/addresses.h"

namespace {
using platform::Font;

constexpr platform::Colour kLinkBlue = 0x0000FF;

const char* const kStudio = "Brightfold";

const Font kSans{"MS Sans Serif", 8.25, false};
const Font kSansBold{"MS Sans Serif", 8.25, true};

// The links lie over the blanks of this sentence: the publisher's domain on its first line and
// the studio's name on its second, so the window reads as one sentence.
const std::string kSentence =
    "This player is presented by" + std::string(36, ' ') + "and" + std::string(21, ' ') + ".";

}  // namespace

about::about(platform::Form& mainWindow) : Form1(mainWindow) {
    design();
    connectHandlers();
}

void about::design() {
    setCaption("About Wavelark Player");
    setBorderStyle(platform::BorderStyle::None);
    setClientSize(4995, 3375);
    setPicture(platform::Picture::fromResource(":/artwork/about.jpg"));

    lblURL2.design(920, 2120, 975, 255, kStudio, kSansBold, kLinkBlue);
    lblURL.design(2520, 1920, 1935, 255, addresses::kPublisherDomain, kSansBold, kLinkBlue);
    Label4.design(600, 1920, 3735, 735, kSentence, kSans, platform::kButtonText);
    Label3.design(600, 1080, 3735, 855,
                  "You can use this tool for listening to radiostations through an internet "
                  "connection. When the "
                  "stream won't start, check the website of the station or download the latest "
                  "version of this "
                  "program.",
                  kSans, platform::kButtonText);
    Label2.design(4080, 2640, 495, 255, "Close", kSans, platform::kButtonText);
    Label1.design(600, 840, 3735, 255, "Wavelark Player version 1.0", kSansBold,
                  platform::kButtonText);

    for (platform::Control* control :
         {static_cast<platform::Control*>(&Label1), static_cast<platform::Control*>(&Label2),
          static_cast<platform::Control*>(&Label3), static_cast<platform::Control*>(&Label4),
          static_cast<platform::Control*>(&lblURL), static_cast<platform::Control*>(&lblURL2)}) {
        control->ZOrder();
    }

    // For screen readers and the keyboard: a dialog, read with its texts when it opens; the
    // texts, then the links and Close, which Tab visits in that order and Escape presses. The
    // sentence is read with the links' words that fill its blanks.
    setAccessibleRole(platform::AccessibleRole::Dialog);
    for (platform::Label* text : {&Label1, &Label3, &Label4})
        text->setAccessibleRole(platform::AccessibleRole::Text);
    Label4.setAccessibleName("This player is presented by " +
                             std::string(addresses::kPublisherDomain) + " and " + kStudio + ".");
    lblURL.setAccessibleRole(platform::AccessibleRole::Link);
    lblURL2.setAccessibleRole(platform::AccessibleRole::Link);
    Label2.setAccessibleRole(platform::AccessibleRole::PushButton);
    setReadingOrder({&Label1, &Label3, &Label4, &lblURL, &lblURL2, &Label2});
    setCancelControl(Label2);
}

void about::connectHandlers() {
    MouseMove = [this](const platform::MouseArgs&) { Form_MouseMove(); };
    Unload = [this](int& cancel) { Form_Unload(cancel); };
    Label2.MouseMove = [this](const platform::MouseArgs&) { Label2_MouseMove(); };
    Label2.Click = [this] { Label2_Click(); };
    lblURL.MouseMove = [this](const platform::MouseArgs&) { lblURL_MouseMove(); };
    lblURL.DragOver = [this](platform::Control& source, float, float, platform::DragState state) {
        lblURL_DragOver(source, state);
    };
    lblURL.DragDrop = [this](platform::Control& source, float, float) { lblURL_DragDrop(source); };
    lblURL2.MouseMove = [this](const platform::MouseArgs&) { lblURL2_MouseMove(); };
    lblURL2.DragOver = [this](platform::Control& source, float, float, platform::DragState state) {
        lblURL2_DragOver(source, state);
    };
    lblURL2.DragDrop = [this](platform::Control& source, float, float) {
        lblURL2_DragDrop(source);
    };
}
