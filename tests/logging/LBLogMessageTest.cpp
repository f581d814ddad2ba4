#include <gtest/gtest.h>

#include <thread>

#include "dispatch/Queue.h"
#include "foundation/Thread.h"
#include "logging/LBLogMessage.h"

using namespace logging;

namespace {

LBLogMessage withFile(std::string_view file) {
    return LBLogMessage("text", LBLogLevel::warning, LBLogFlag::warning, 556, file, std::nullopt, 7, std::nullopt);
}

LBLogMessage made(std::optional<foundation::Date> timestamp) {
    return LBLogMessage("text", LBLogLevel::warning, LBLogFlag::warning, 556, "f.cpp", "run", 7, "tag", 0, timestamp);
}

}  // namespace

TEST(LBLogMessage, FileNameIsTheLastComponentCutBeforeItsLastDot) {
    EXPECT_EQ(withFile("dir/name.tar.gz").fileName(), "name.tar");
    EXPECT_EQ(withFile("/src/Vellum/Parsers/VellumParser.m").fileName(), "VellumParser");
    EXPECT_EQ(withFile("a.b.c").fileName(), "a.b");
    EXPECT_EQ(withFile("dir/Makefile").fileName(), "Makefile");
    EXPECT_EQ(withFile("dir/name.").fileName(), "name");
}

TEST(LBLogMessage, MissingTimestampIsTheTimeOfConstructionAndAGivenOneIsKept) {
    auto before = foundation::Date::now();
    auto now = made(std::nullopt);
    auto after = foundation::Date::now();
    ASSERT_TRUE(now.timestamp());
    EXPECT_GE(*now.timestamp(), before);
    EXPECT_LE(*now.timestamp(), after);

    foundation::Date given{12345.5};
    EXPECT_EQ(made(given).timestamp(), given);
    EXPECT_FALSE(LBLogMessage().timestamp());
}

TEST(LBLogMessage, CopiesAreEqualButRecordsFromAnotherThreadAreNot) {
    foundation::Date when{100};
    auto here = made(when);
    LBLogMessage copy = here;
    EXPECT_EQ(copy, here);
    EXPECT_EQ(copy.hash(), here.hash());

    std::optional<LBLogMessage> there;
    std::thread([&] { there = made(when); }).join();
    EXPECT_NE(there->threadID(), here.threadID());
    EXPECT_NE(*there, here);
}

TEST(LBLogMessage, EqualityIgnoresOptionsAndThreadNameButNotTheTag) {
    foundation::Date when{100};
    LBLogMessage::Origin origin{"42", "worker", "queue", 21};
    auto base = LBLogMessage("m", LBLogLevel::all, LBLogFlag::info, 1, "f", "g", 2, "t", 0, when, origin);
    auto otherOptions = LBLogMessage("m", LBLogLevel::all, LBLogFlag::info, 1, "f", "g", 2, "t",
                                     LBLogMessage::copyFile, when, {"42", std::nullopt, "queue", 21});
    EXPECT_EQ(base, otherOptions);
    auto otherTag = LBLogMessage("m", LBLogLevel::all, LBLogFlag::info, 1, "f", "g", 2, "u", 0, when, origin);
    EXPECT_NE(base, otherTag);
    auto otherQueue = LBLogMessage("m", LBLogLevel::all, LBLogFlag::info, 1, "f", "g", 2, "t", 0, when,
                                   {"42", "worker", "other", 21});
    EXPECT_NE(base, otherQueue);
}

TEST(LBLogMessage, CopyOptionsMakeTheRecordOwnItsFileAndFunction) {
    std::string file = "/tmp/Parser.cpp";
    std::string function = "parse";
    LBLogMessage copied("m", LBLogLevel::all, LBLogFlag::info, 0, file, function, 1, std::nullopt,
                        LBLogMessage::copyFile | LBLogMessage::copyFunction);
    file.assign("/elsewhere/Other.cpp");
    function.assign("other");
    LBLogMessage copy = copied;  // copies share what the first one owns
    copied = LBLogMessage();
    EXPECT_EQ(copy.file(), "/tmp/Parser.cpp");
    EXPECT_EQ(copy.fileName(), "Parser");
    EXPECT_EQ(copy.function(), "parse");
}

TEST(LBLogMessage, OriginNamesTheQueueTheThreadAndItsServiceClass) {
    auto queue = dispatch::Queue::serial("test.origin");
    LBLogMessage::Origin onQueue;
    queue->async([&] { onQueue = LBLogMessage::Origin::current(); });
    queue->sync([] {});
    EXPECT_EQ(onQueue.queueLabel, "test.origin");
    EXPECT_EQ(onQueue.qos, 21u);
    ASSERT_TRUE(onQueue.threadName);
    EXPECT_TRUE(onQueue.threadName->starts_with("dispatch-")) << *onQueue.threadName;

    LBLogMessage::Origin plain;
    std::thread([&] { plain = LBLogMessage::Origin::current(); }).join();
    EXPECT_EQ(plain.queueLabel, "");
    EXPECT_FALSE(plain.threadName);
    EXPECT_EQ(plain.qos, 0u);

    LBLogMessage::Origin named;
    std::thread([&] {
        foundation::setCurrentThreadName("test.origin.thread");
        named = LBLogMessage::Origin::current();
        EXPECT_EQ(named.threadID, std::to_string(foundation::currentThreadID()));
    }).join();
    EXPECT_EQ(named.threadName, "test.origin.thread");
}
