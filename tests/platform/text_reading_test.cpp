// Reading text whose encoding nobody declared, and files that are not what they seem.
#include <gtest/gtest.h>

#include <sys/stat.h>
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

    auto errorNumber = [](auto&& read) {
        try {
            read();
        } catch (const platform::RuntimeError& error) {
            return error.number;
        }
        return 0;
    };
    write("last");
    platform::TextFile file(path.string());
    file.lineInput();
    EXPECT_EQ(errorNumber([&] { file.lineInput(); }), 62);  // reading past the end
    EXPECT_EQ(errorNumber([] { platform::TextFile("/nonexistent/wavelark.ini"); }), 53);
    // A pipe with no writer where the file was: refused at once, not waited on.
    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(errorNumber([&] { platform::TextFile(path.string()); }), 75);
}

}  // namespace
