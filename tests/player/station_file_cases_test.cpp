// Every folder under station_files/ is one case: a station file exactly as a user's editor left
// it (or none) and expected.txt with what the window shows after start-up and, with "tune=k",
// after a click on slot k. Captions that expected.txt does not list must be empty.
#include <QApplication>
#include <filesystem>
#include <fstream>
#include <map>

#include "player_fixture.h"

namespace {

const std::filesystem::path kCases = WAVELARK_STATION_FILE_CASES;

struct Expected {
    std::map<std::string, std::string> values;
    std::string get(const std::string& key, const std::string& fallback = "") const {
        auto found = values.find(key);
        return found == values.end() ? fallback : found->second;
    }
};

Expected readExpected(const std::filesystem::path& file) {
    Expected expected;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto equals = line.find('=');
        expected.values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return expected;
}

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(kCases))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class StationFileCase : public PlayerFixture, public ::testing::WithParamInterface<std::string> {};

TEST_P(StationFileCase, ShowsWhatTheFileSays) {
    const auto dir = kCases / GetParam();
    ASSERT_TRUE(std::filesystem::is_regular_file(dir / "expected.txt"))
        << "a case without its expected.txt would silently expect the defaults";
    const Expected expected = readExpected(dir / "expected.txt");
    if (std::filesystem::exists(dir / "wavelark.ini"))
        std::filesystem::copy_file(dir / "wavelark.ini", folder / "wavelark.ini");

    Form1& window = makeForm();
    window.TuneStation(Form1::NoStationIndex, Form1::NoStationIndex);
    const std::string tune = expected.get("tune");
    if (!tune.empty()) window.TuneStation(tune, tune);

    const auto shown = captions();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(shown[slot], expected.get("caption." + std::to_string(slot))) << "slot " << slot;
    }
    const std::string opened = expected.get("opened");
    if (opened.empty()) {
        EXPECT_TRUE(player->calls.empty()) << "nothing may be tuned";
    } else {
        EXPECT_EQ(player->calls, std::vector<std::string>{"open " + opened});
    }
    EXPECT_EQ(window.station.Caption(), expected.get("station", "None"));
    EXPECT_EQ(messages.size(), std::stoul(expected.get("messages", "0")));
    for (const std::string& message : messages) {
        EXPECT_EQ(message,
                  "wavelark.ini is niet aanwezig of beschadigd. Kijk op "
                  "http://www.skyvane.example/software voor "
                  "juiste .ini files.");
    }
}

INSTANTIATE_TEST_SUITE_P(StationFiles, StationFileCase, ::testing::ValuesIn(caseNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
