// Reading text whose encoding nobody declared, and files that are not what they seem.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/runtime_error.h"
#include "platform/text_encoding.h"
#include "platform/text_file.h"
#include "scratch_folder.h"

namespace {

TEST(TextEncoding, KeepsUtf8AndReadsEverythingElseAsWindows1252) {
    EXPECT_EQ(platform::decodeText("Caf\xC3\xA9"), "Caf\xC3\xA9");
    EXPECT_EQ(platform::decodeText("Caf\xE9 \x80 \x96"), "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x93");
    // Overlong forms, surrogates and truncated sequences are not UTF-8.
    for (const char* bytes : {"\xC0\xAF", "\xED\xA0\x80", "\xE2\x82", "\xF5\x80\x80\x80"}) {
        EXPECT_FALSE(platform::isValidUtf8(bytes)) << bytes;
        EXPECT_TRUE(platform::isValidUtf8(platform::decodeText(bytes)));
    }
    EXPECT_EQ(platform::leftCharacters("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(platform::leftCharacters("ab", 5), "ab");
}

class TextFileTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    std::filesystem::path path = folder.path() / "text.txt";
    void write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    std::vector<std::string> readAll() {
        platform::TextFile file(path.string());
        std::vector<std::string> lines;
        while (!file.atEnd()) lines.push_back(file.lineInput());
        return lines;
    }
};

TEST_F(TextFileTest, LinesEndAtCrCrlfOrLf) {
    write("a\r\nb\rc\nd\r\n\r\ne");
    EXPECT_EQ(readAll(), (std::vector<std::string>{"a", "b", "c", "d", "", "e"}));
    write("\xEF\xBB\xBFone\r\n");
    EXPECT_EQ(readAll(), std::vector<std::string>{"one"});
    write("");
    EXPECT_TRUE(readAll().empty());
}

TEST_F(TextFileTest, BoundedLinesAndHonestErrors) {
    write(std::string(platform::TextFile::kMaxLineBytes, 'x') + "\r\n");
    EXPECT_EQ(readAll().at(0).size(), platform::TextFile::kMaxLineBytes);
    write(std::string(platform::TextFile::kMaxLineBytes + 1, 'x'));
    EXPECT_THROW(readAll(), platform::RuntimeError);

    write("last");
    platform::TextFile file(path.string());
    file.lineInput();
    try {
        file.lineInput();
        FAIL() << "reading past the end must fail";
    } catch (const platform::RuntimeError& error) {
        EXPECT_EQ(error.number, 62);
    }
    try {
        platform::TextFile missing("/nonexistent/wavelark.ini");
        FAIL();
    } catch (const platform::RuntimeError& error) {
        EXPECT_EQ(error.number, 53);
    }
}

}  // namespace
