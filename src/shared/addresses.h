#pragma once

// Every fixed web address and built-in stream of the program, in one place, so that a packager
// can change them.
namespace addresses {

// The publisher's page of station lists, named in the station file's message.
inline constexpr const char* kPublisherSoftwarePage = "http://www.skyvane.example/software";

// The About window's links: what they show and what they open.
inline constexpr const char* kPublisherDomain = "skyvane.example";
inline constexpr const char* kPublisherSite = "www.skyvane.example";
inline constexpr const char* kStudioSite = "www.brightfold.example";

// The station that slot 13 plays whatever the station file says: a long-lived public station
// that streams over plain http.
inline constexpr const char* kBuiltInStationAddress = "http://ice1.somafm.com/groovesalad-128-mp3";
inline constexpr const char* kBuiltInStationName = "SomaFM Groove Salad - somafm.com";

// The program's name on the desktop: its desktop entry, its icon and its notifications.
inline constexpr const char* kDesktopId = "example.skyvane.Wavelark";

}  // namespace addresses
