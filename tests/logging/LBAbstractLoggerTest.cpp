#include <gtest/gtest.h>

#include <algorithm>

#include "CapturingLogger.h"
#include "foundation/Assertion.h"
#include "logging/LBLog.h"

using namespace logging;

namespace {

class RecordingFormatter : public LBLogFormatter {
public:
    std::optional<std::string> formatLogMessage(const LBLogMessage& message) override { return message.message(); }
    void didAddToLoggerInQueue(LBLogger&, const std::shared_ptr<dispatch::Queue>& queue) override { addedOn = queue; }
    void willRemoveFromLogger(LBLogger&) override { removed = true; }
    std::shared_ptr<dispatch::Queue> addedOn;
    bool removed = false;
};

struct Parser {
    static LBLogLevel lbLogLevel() { return level; }
    static void lbSetLogLevel(LBLogLevel newLevel) { level = newLevel; }
    static inline LBLogLevel level = LBLogLevel::warning;
};

struct ReadOnly {
    static LBLogLevel lbLogLevel() { return LBLogLevel::error; }
};

}  // namespace

TEST(LBAbstractLogger, AFormatterIsToldWhenItIsAddedAndWhenItIsReplaced) {
    auto logger = std::make_shared<CapturingLogger>("test.formatted");
    auto first = std::make_shared<RecordingFormatter>();
    auto second = std::make_shared<RecordingFormatter>();
    logger->setLogFormatter(first);
    settle(logger);
    EXPECT_EQ(logger->logFormatter(), first);
    EXPECT_EQ(first->addedOn, logger->loggerQueue());

    logger->setLogFormatter(second);
    settle(logger);
    EXPECT_TRUE(first->removed);
    EXPECT_EQ(logger->logFormatter(), second);
    EXPECT_EQ(logger->loggerQueue()->label(), "test.formatted");
}

TEST(LBAbstractLogger, ItsPublicGetterRefusesTheLoggingQueueAndTheLoggersOwnQueue) {
    auto logger = std::make_shared<CapturingLogger>();
    LBLog::loggingQueue()->sync([&] {
        EXPECT_TRUE(logger->isOnGlobalLoggingQueue());
        EXPECT_THROW(logger->logFormatter(), foundation::InternalInconsistencyException);
    });
    logger->loggerQueue()->sync([&] {
        EXPECT_TRUE(logger->isOnInternalLoggerQueue());
        try {
            logger->logFormatter();
            ADD_FAILURE() << "read from the logger's own queue";
        } catch (const foundation::InternalInconsistencyException& failure) {
            EXPECT_STREQ(failure.what(), "MUST access ivar directly, NOT via self.* syntax.");
        }
    });
    EXPECT_FALSE(logger->isOnInternalLoggerQueue());
}

TEST(LBLogRegisteredClasses, OnlyClassesWithBothLevelMethodsTakePart) {
    EXPECT_TRUE(LBLog::registerClass<Parser>("Parser"));
    EXPECT_FALSE(LBLog::registerClass<ReadOnly>("ReadOnly"));

    EXPECT_TRUE(LBLog::isRegisteredClass<Parser>());
    EXPECT_FALSE(LBLog::isRegisteredClass<ReadOnly>());
    auto names = LBLog::registeredClassNames();
    EXPECT_NE(std::ranges::find(names, "Parser"), names.end());
    EXPECT_EQ(std::ranges::find(names, "ReadOnly"), names.end());
    auto classes = LBLog::registeredClasses();
    EXPECT_NE(std::ranges::find(classes, std::type_index(typeid(Parser))), classes.end());

    LBLog::setLevelForClass<Parser>(LBLogLevel::warning);
    EXPECT_EQ(LBLog::levelForClass<Parser>(), LBLogLevel::warning);
    LBLog::setLevelForClassWithName(LBLogLevel::debug, "Parser");
    EXPECT_EQ(Parser::level, LBLogLevel::debug);
    EXPECT_EQ(LBLog::levelForClassWithName("Parser"), LBLogLevel::debug);

    // A class with a getter only, and one never registered, answer all.
    EXPECT_EQ(LBLog::levelForClass<ReadOnly>(), LBLogLevel::all);
    EXPECT_EQ(LBLog::levelForClassWithName("NoSuchClass"), LBLogLevel::all);
    LBLog::setLevelForClassWithName(LBLogLevel::off, "NoSuchClass");  // ignored
}
