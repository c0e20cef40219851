#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "media/media_player.h"
#include "platform/form.h"
#include "platform/frame.h"
#include "platform/image.h"
#include "platform/label.h"
#include "platform/menu.h"
#include "platform/picture_box.h"
#include "platform/status_strip.h"
#include "player/player_window.h"
#include "player/station_slots.h"
#include "player/volume_levels.h"

class about;

// The player window: a fixed, skinned window with 19 station slots, the black display panel
// with its five skin buttons and two readouts, the media player's status strip, the "About"
// label, the hidden picture box that carries the tray icon, and the hidden menu that pops up
// from the tray.
class Form1 : public platform::Form, public PlayerWindow {
public:
    using MediaPlayerFactory =
        std::function<std::unique_ptr<media::MediaPlayer>(platform::StatusStrip&)>;

    explicit Form1(const MediaPlayerFactory& makeMediaPlayer);
    ~Form1() override;

    // The title bar's text, which the tray icon's tip repeats.
    static constexpr const char* kTitle = "Skyvane Wavelark Player";
    // Refreshes the list and tunes nothing.
    static constexpr const char* NoStationIndex = "19";

    // Controls; design() stacks them as the window design does.
    platform::Frame Frame3_0{*this};
    platform::Frame Frame2{*this};
    platform::Frame Frame1{*this};
    platform::PictureBox Picture1{*this};
    platform::Frame Frame3_1{*this};
    platform::Label Label4{*this}, Label6{*this}, Label7{*this}, Label8{*this}, Label9{*this},
        Label10{*this}, Label11{*this}, Label12{*this}, Label23{*this}, Label5{*this},
        Label15{*this}, Label14{*this}, Label13{*this}, Label16{*this}, Label17{*this},
        Label18{*this}, Label19{*this}, Label20{*this}, Label21{*this};
    platform::StatusStrip MediaPlayer1Strip{*this};
    platform::Label Label1{*this};

    // The display panel, held by Frame1.
    platform::Image mute1control{Frame1}, mutecontrol{Frame1}, nomute1control{Frame1},
        nomutecontrol{Frame1};
    platform::Image up1control{Frame1}, down1control{Frame1}, stopcontrol1{Frame1}, play1{Frame1};
    platform::Label station{Frame1}, Label3{Frame1}, Label2{Frame1}, volume{Frame1};
    platform::Image Image2{Frame1}, Image1{Frame1}, stopcontrol{Frame1}, playcontrol{Frame1};

    // The menu, never shown as a menu bar: it pops up from the tray icon.
    platform::MenuItem menuDatei{"&Datei"};
    platform::MenuItem menuOpen{"&Show"}, menuMini{"&Minimize"}, mnBarSep1{"-"}, MenuUp{"Sound Up"},
        MenuDown{"Sound Down"}, mnBarSep2{"-"}, menuExit{"&Exit"};

    // The media player goes with the window when it is unloaded, which ends any playback.
    platform::Component<media::MediaPlayer> MediaPlayer1;
    // The About window while it is open (and until the next opening replaces it).
    std::unique_ptr<about> aboutWindow;

    // The slot labels in slot order: slot k shows line k of the station file.
    const std::array<platform::Label*, kSlotCount> StationSlot;

    void TuneStation(const std::string& stationIndex, const std::string& captionIndex);
    void ShowVolume();

    // For the desktop's media controls.
    void showWindow() override;
    void exitPlayer() override;
    void play() override;
    void stop() override;
    void volumeUp() override;
    void volumeDown() override;
    void clickSlot(int slot) override;
    bool onShow() const override;
    std::string stationName() const override;
    int tunedSlot() const override { return tunedSlot_; }
    media::MediaPlayer* mediaPlayer() const override;

private:
    void design();
    void connectHandlers();

    // Start-up and shutdown.
    void Form_Load();
    void Form_Unload(int& cancel);
    void menuExit_Click();

    // Station list.
    void Label4_Click(), Label6_Click(), Label7_Click(), Label8_Click(), Label9_Click(),
        Label10_Click(), Label11_Click(), Label12_Click(), Label23_Click(), Label5_Click(),
        Label15_Click(), Label14_Click(), Label13_Click(), Label16_Click(), Label17_Click(),
        Label18_Click(), Label19_Click(), Label20_Click(), Label21_Click();
    void StationSlot_MouseMove(platform::Label& slot);

    // Rollover.
    void Form_MouseMove();
    void Frame1_MouseMove();
    void playcontrol_MouseMove();
    void stopcontrol_MouseMove();
    void Image1_MouseMove();
    void Image2_MouseMove();
    void mutecontrol_MouseMove();
    void nomutecontrol_MouseMove();

    // Play and stop.
    void play1_Click();
    void stopcontrol1_Click();

    // Volume, mute and keys.
    void up1control_Click();
    void down1control_Click();
    void MenuUp_Click();
    void MenuDown_Click();
    void mute1control_Click();
    void nomute1control_Click();
    void ToggleMute();
    void Form_KeyDown(int& keyCode, int shift);

    // Tray icon and minimise.
    void Picture1_MouseMove(const platform::MouseArgs& args);
    void menuOpen_Click();
    void menuMini_Click();
    void Form_Resize();

    // About.
    void Label1_MouseMove();
    void Label1_Click();

    int tunedSlot_ = -1;
};
