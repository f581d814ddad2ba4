#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <regex>

#include "CapturingLogger.h"
#include "foundation/Print.h"
#include "logging/LBContextFilterLogFormatter.h"
#include "logging/LBTTYLogger.h"

using namespace logging;

namespace {

// Stands in for standard error: a temporary file the test reads back.
class Console {
public:
    Console() : file_(std::tmpfile()) {}
    ~Console() { std::fclose(file_); }
    int descriptor() const { return fileno(file_); }
    std::string text() const {
        std::string text;
        char buffer[4096];
        ssize_t count;
        off_t offset = 0;
        while ((count = ::pread(descriptor(), buffer, sizeof buffer, offset)) > 0) {
            text.append(buffer, static_cast<std::size_t>(count));
            offset += count;
        }
        return text;
    }

private:
    std::FILE* file_;
};

std::shared_ptr<LBTTYLogger> consoleLogger(const Console& console, LBTTYColorMode mode) {
    foundation::ConsoleCapture quiet;  // the logger's migration warning
    auto logger = std::make_shared<LBTTYLogger>(console.descriptor(), mode);
    EXPECT_NE(quiet.text().find("Logbook: Warning: Usage of LBTTYLogger"), std::string::npos);
    return logger;
}

void write(const std::shared_ptr<LBTTYLogger>& logger, const LBLogMessage& message) {
    settle(logger);
    logger->loggerQueue()->sync([&] { logger->logMessage(message); });
}

// The console's lines, each without its line break; a colour's reset code follows the break, so it is
// moved back to the end of its own line.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
        if (text.compare(end + 1, 4, "\033[0m") == 0) {
            lines.back() += "\033[0m";
            end += 4;
        }
    }
    return lines;
}

constexpr LBColor red{1, 0, 0};
constexpr LBColor blue{0, 0, 1};

class Appending : public LBLogFormatter {
public:
    std::optional<std::string> formatLogMessage(const LBLogMessage& message) override {
        return "<" + message.message() + ">";
    }
};

}  // namespace

TEST(LBTTYLogger, ColoursOnlyOnATerminalWhoseEnvironmentAsksForThem) {
    EXPECT_EQ(LBTTYLogger::colorModeForEnvironment(nullptr, "xterm-256color", false), LBTTYColorMode::none);
    EXPECT_EQ(LBTTYLogger::colorModeForEnvironment("YES", "xterm", true), LBTTYColorMode::xcodeColors);
    EXPECT_EQ(LBTTYLogger::colorModeForEnvironment("NO", "xterm-256color", true), LBTTYColorMode::ansi256);
    EXPECT_EQ(LBTTYLogger::colorModeForEnvironment(nullptr, "XTERM-COLOR", true), LBTTYColorMode::ansi16);
    EXPECT_EQ(LBTTYLogger::colorModeForEnvironment(nullptr, "xterm", true), LBTTYColorMode::none);
    EXPECT_EQ(LBTTYLogger::colorModeForEnvironment(nullptr, nullptr, true), LBTTYColorMode::none);
}

TEST(LBTTYLogger, ALineCarriesTimeProcessAndThreadAndEndsWithExactlyOneLineBreak) {
    Console console;
    auto logger = consoleLogger(console, LBTTYColorMode::none);
    LBLogMessage::Origin origin{"123456789", std::nullopt, "", 0};
    write(logger, LBLogMessage("first", LBLogLevel::all, LBLogFlag::info, 0, "f", "g", 1, std::nullopt, 0,
                               foundation::Date::fromUnix(1700000000.1239), origin));
    write(logger, LBLogMessage("second\n", LBLogLevel::all, LBLogFlag::info, 0, "f", "g", 1, std::nullopt, 0,
                               std::nullopt, origin));
    std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:123 (\S+)\[(\d+):12345678\] first
\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3} \S+\[\d+:12345678\] second
)");
    std::smatch match;
    const std::string text = console.text();
    ASSERT_TRUE(std::regex_match(text, match, line)) << text;
    EXPECT_EQ(match[2], std::to_string(::getpid()));
}

TEST(LBTTYLogger, EnablingColoursWithoutProfilesColoursErrorsAndWarningsOnly) {
    Console console;
    auto logger = consoleLogger(console, LBTTYColorMode::ansi256);
    logger->setColorsEnabled(true);
    settle(logger);
    EXPECT_TRUE(logger->colorsEnabled());
    write(logger, record("bad", LBLogFlag::error));
    write(logger, record("odd", LBLogFlag::warning));
    write(logger, record("fine", LBLogFlag::info));
    auto written = lines(console.text());
    ASSERT_EQ(written.size(), 3u);
    EXPECT_TRUE(written[0].starts_with("\033[38;5;")) << written[0];
    EXPECT_TRUE(written[0].ends_with("bad\033[0m")) << written[0];
    EXPECT_TRUE(written[1].starts_with("\033[38;5;")) << written[1];
    EXPECT_NE(written[0].substr(0, 12), written[1].substr(0, 12));
    EXPECT_EQ(written[2].find('\033'), std::string::npos) << written[2];
}

TEST(LBTTYLogger, AContextProfileWinsOverTheAnyContextOneForItsContextOnly) {
    Console console;
    auto logger = consoleLogger(console, LBTTYColorMode::ansi16);
    logger->setColorsEnabled(true);
    logger->setForegroundColor(blue, std::nullopt, LBLogFlag::warning, 5);
    write(logger, record("five", LBLogFlag::warning, 5));
    write(logger, record("six", LBLogFlag::warning, 6));
    auto written = lines(console.text());
    ASSERT_EQ(written.size(), 2u);
    EXPECT_TRUE(written[0].starts_with("\033[34m")) << written[0];  // the 16-colour blue
    EXPECT_TRUE(written[1].starts_with("\033[33m")) << written[1];  // the Warning default's nearest
}

TEST(LBTTYLogger, ClearingAFlagRemovesItsContextZeroProfileAndKeepsTheAnyContextOne) {
    Console console;
    auto logger = consoleLogger(console, LBTTYColorMode::ansi16);
    logger->setColorsEnabled(true);
    logger->setForegroundColor(blue, std::nullopt, LBLogFlag::warning, 0);
    logger->clearColorsForFlag(LBLogFlag::warning);
    write(logger, record("odd", LBLogFlag::warning));
    auto written = lines(console.text());
    ASSERT_EQ(written.size(), 1u);
    EXPECT_TRUE(written[0].starts_with("\033[33m")) << written[0];  // the Warning default's nearest
}

TEST(LBTTYLogger, ATagProfileWinsUntilItIsCleared) {
    Console console;
    auto logger = consoleLogger(console, LBTTYColorMode::ansi16);
    logger->setColorsEnabled(true);
    logger->setForegroundColor(red, blue, "net");
    write(logger, record("tagged", LBLogFlag::info, 0, "net"));
    logger->clearColorsForTag("net");
    write(logger, record("plain", LBLogFlag::info, 0, "net"));
    auto written = lines(console.text());
    ASSERT_EQ(written.size(), 2u);
    EXPECT_TRUE(written[0].starts_with("\033[1;31m\033[44m")) << written[0];
    EXPECT_TRUE(written[0].ends_with("tagged\033[0m")) << written[0];
    EXPECT_EQ(written[1].find('\033'), std::string::npos) << written[1];
}

TEST(LBTTYLogger, ColoursMapToTheNearestEntryOfTheActiveTable) {
    const auto& sixteen = LBTTYColorTable::sixteenColors();
    EXPECT_EQ(sixteen.codeIndexForColor(red), 9u);
    EXPECT_EQ(sixteen.foregroundCodes[9], "1;31m");
    EXPECT_EQ(sixteen.codeIndexForColor({0, 0, 0}), 0u);
    const auto& many = LBTTYColorTable::twoHundredFiftySixColors();
    ASSERT_EQ(many.colors.size(), 240u);
    EXPECT_EQ(many.codeIndexForColor({88 / 255.0, 51 / 255.0, 1}), 5u);
    EXPECT_EQ(many.foregroundCodes[5], "38;5;21m");
    EXPECT_EQ(many.backgroundCodes[239], "48;5;255m");
    EXPECT_EQ(many.codeIndexForColor({240 / 255.0, 242 / 255.0, 242 / 255.0}), 239u);
    EXPECT_EQ(LBTTYColorTable::forMode(LBTTYColorMode::none).codeIndexForColor(red), 0u);
}

TEST(LBTTYLogger, XcodeColorsProfilesCarryTheirComponents) {
    LBTTYLoggerColorProfile profile(LBColor{214 / 255.0, 57 / 255.0, 30 / 255.0}, std::nullopt, 1,
                                    LBTTYLoggerColorProfile::anyContext, LBTTYColorMode::xcodeColors);
    EXPECT_EQ(profile.fgCode(), "\033[fg214,57,30;");
    EXPECT_EQ(profile.bgCode(), "");
    EXPECT_EQ(profile.resetCode(), "\033[;");
    LBTTYLoggerColorProfile plain(red, blue, 1, 0, LBTTYColorMode::none);
    EXPECT_EQ(plain.fgCode() + plain.bgCode() + plain.resetCode(), "");
    std::regex description(R"(<LBTTYLoggerColorProfile: 0x[0-9a-f]+ mask:1 ctxt:0 fg:255,0,0 bg:0,0,255 fgCode: bgCode:>)");
    EXPECT_TRUE(std::regex_match(plain.description(), description)) << plain.description();
}

TEST(LBTTYLogger, ComponentsOutsideZeroToOneOrNotANumberAreClamped) {
    LBTTYLoggerColorProfile profile(LBColor{1.5, -0.5, std::nan("")}, std::nullopt, 1, 0, LBTTYColorMode::xcodeColors);
    EXPECT_EQ(profile.fgCode(), "\033[fg255,0,0;");
}

TEST(LBTTYLogger, FormattedTextIsWrittenBareAndANilFormatDropsTheRecord) {
    Console console;
    auto logger = consoleLogger(console, LBTTYColorMode::none);
    logger->setLogFormatter(std::make_shared<Appending>());
    write(logger, record("a"));
    logger->setAutomaticallyAppendNewlineForCustomFormatters(false);
    write(logger, record("b"));
    logger->setLogFormatter(std::make_shared<LBContextAllowlistFilterLogFormatter>());
    write(logger, record("dropped"));
    EXPECT_EQ(console.text(), "<a>\n<b>");
}
