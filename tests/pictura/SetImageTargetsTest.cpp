#include <gtest/gtest.h>

#include "SetImageTestSupport.h"
#include "gfx/AttributedString.h"
#include "gfx/ImageEncoder.h"
#include "ui/Label.h"

namespace pictura {
namespace {

using Item = PicturaOptionsInfoItem;
using ui::ControlState;

class SetImageTargetsTest : public testing::SetImageFixture {
protected:
    std::shared_ptr<ui::Button> button = ui::Button::make();
    std::shared_ptr<ui::ListItem> item = ui::ListItem::make("Round 1");
    std::shared_ptr<gfx::TextAttachment> attachment = std::make_shared<gfx::TextAttachment>();
};

TEST_F(SetImageTargetsTest, everyTargetDrawsItsIdentifiersFromOneCounter) {
    pc(view).setImage(network("/held/a"), nullptr, items());
    const auto first = pc(view).taskIdentifier();
    ASSERT_TRUE(first);
    pc(button).setImage(network("/held/b"), ControlState::normal, nullptr, items());
    pc(button).setBackgroundImage(network("/held/c"), ControlState::normal, nullptr, items());
    pc(item).setImage(network("/held/d"), nullptr, items());
    pc(attachment).setImage(network("/held/e"), nullptr, nullptr, items());
    EXPECT_EQ(pc(button).taskIdentifier(ControlState::normal), *first + 1);
    EXPECT_EQ(pc(button).backgroundTaskIdentifier(ControlState::normal), *first + 2);
    EXPECT_EQ(pc(item).taskIdentifier(), *first + 3);
    EXPECT_EQ(pc(attachment).taskIdentifier(), *first + 4);
}

TEST_F(SetImageTargetsTest, buttonStatesAndChannelsLoadSideBySide) {
    auto normal = std::make_shared<testing::Report>();
    auto highlighted = std::make_shared<testing::Report>();
    auto background = std::make_shared<testing::Report>();
    pc(button).setImage(network("/image/normal"), ControlState::normal, nullptr, items(), nullptr,
                        testing::reportTo(normal));
    pc(button).setImage(network("/image/highlighted"), ControlState::highlighted, nullptr, items(), nullptr,
                        testing::reportTo(highlighted));
    pc(button).setBackgroundImage(network("/image/background"), ControlState::normal, nullptr, items(), nullptr,
                                  testing::reportTo(background));
    EXPECT_TRUE(pc(button).taskIdentifier(ControlState::normal));
    EXPECT_TRUE(pc(button).taskIdentifier(ControlState::highlighted));
    EXPECT_FALSE(pc(button).taskIdentifier(ControlState::highlighted | ControlState::selected));
    ASSERT_TRUE(waitFor(normal) && waitFor(highlighted) && waitFor(background));
    ASSERT_TRUE(normal->succeeded() && highlighted->succeeded() && background->succeeded());
    EXPECT_EQ(button->image(ControlState::normal), normal->image());
    EXPECT_EQ(button->image(ControlState::highlighted), highlighted->image());
    EXPECT_EQ(button->backgroundImage(ControlState::normal), background->image());
    EXPECT_FALSE(pc(button).taskIdentifier(ControlState::normal));
    EXPECT_FALSE(pc(button).backgroundTaskIdentifier(ControlState::normal));
}

TEST_F(SetImageTargetsTest, aSecondRequestForOneStateMakesTheFirstStaleAndLeavesOtherStatesAlone) {
    auto placeholder = solid(gfx::Color::white());
    auto first = std::make_shared<testing::Report>();
    auto second = std::make_shared<testing::Report>();
    pc(button).setImage(network("/held/first"), ControlState::normal, nullptr, items(), nullptr, testing::reportTo(first));
    pc(button).setImage(network("/held/selected"), ControlState::selected, placeholder, items());
    EXPECT_EQ(button->image(ControlState::selected), placeholder);
    pc(button).setImage(network("/image/second"), ControlState::normal, nullptr, items(), nullptr,
                        testing::reportTo(second));
    ASSERT_TRUE(waitFor(second));
    EXPECT_EQ(button->image(ControlState::normal), second->image());
    server.openGate();
    ASSERT_TRUE(waitFor(first));
    EXPECT_EQ(first->code(), 5002);
    EXPECT_EQ(button->image(ControlState::normal), second->image());
    ASSERT_TRUE(waitUntil([&] { return button->image(ControlState::selected) != placeholder; }));
}

TEST_F(SetImageTargetsTest, buttonPlaceholdersAndFailureImagesGoToTheirStateOnly) {
    auto placeholder = solid(gfx::Color::white());
    auto failure = solid(gfx::Color::black());
    auto report = std::make_shared<testing::Report>();
    EXPECT_FALSE(pc(button).setImage(std::optional<Source>(), ControlState::disabled, placeholder, items(), nullptr,
                                     testing::reportTo(report)));
    ASSERT_EQ(report->calls, 1);
    EXPECT_EQ(report->code(), 5001);
    EXPECT_EQ(button->image(ControlState::disabled), placeholder);
    EXPECT_FALSE(button->image(ControlState::normal));

    pc(button).setImage(network("/status/404"), ControlState::normal, placeholder, items(), nullptr,
                        testing::reportTo(report));
    ASSERT_TRUE(waitFor(report, 2));
    EXPECT_EQ(button->image(ControlState::normal), placeholder);
    pc(button).setBackgroundImage(network("/status/404"), ControlState::normal, placeholder,
                                  items({Item::onFailureImage(failure)}), nullptr, testing::reportTo(report));
    ASSERT_TRUE(waitFor(report, 3));
    EXPECT_EQ(button->backgroundImage(ControlState::normal), failure);
    pc(button).setImage(network("/status/404"), ControlState::normal, placeholder, items({Item::onFailureImage(nullptr)}),
                        nullptr, testing::reportTo(report));
    ASSERT_TRUE(waitFor(report, 4));
    EXPECT_FALSE(button->image(ControlState::normal));

    // Kept: the state's image stays and the placeholder is not used, whatever the state shows.
    auto shown = solid(gfx::Color::systemGray());
    button->setImage(shown, ControlState::normal);
    pc(button).setImage(network("/held/kept"), ControlState::normal, placeholder,
                        items({Item::keepCurrentImageWhileLoading()}));
    EXPECT_EQ(button->image(ControlState::normal), shown);
}

TEST_F(SetImageTargetsTest, buttonCancelsReachTheirChannelOnly) {
    pc(button).cancelImageDownloadTask();  // nothing loaded yet: nothing happens
    pc(button).cancelBackgroundImageDownloadTask();
    auto image = std::make_shared<testing::Report>();
    auto background = std::make_shared<testing::Report>();
    pc(button).setImage(network("/held/image"), ControlState::normal, nullptr, items(), nullptr, testing::reportTo(image));
    pc(button).setBackgroundImage(network("/held/background"), ControlState::normal, nullptr, items(), nullptr,
                                  testing::reportTo(background));
    ASSERT_TRUE(waitUntil([&] { return server.hits("/held/background") > 0; }));
    pc(button).cancelBackgroundImageDownloadTask();
    ASSERT_TRUE(waitFor(background));
    EXPECT_TRUE(background->result->error().isTaskCancelled());
    EXPECT_EQ(image->calls, 0);
    server.openGate();
    ASSERT_TRUE(waitFor(image));
    EXPECT_TRUE(image->succeeded());
}

TEST_F(SetImageTargetsTest, listItemsTakeTheirImageAtOnceWhateverTheTransition) {
    auto placeholder = solid(gfx::Color::white());
    auto report = std::make_shared<testing::Report>();
    EXPECT_FALSE(pc(item).setImage(std::optional<Source>(), placeholder, items(), nullptr, testing::reportTo(report)));
    ASSERT_EQ(report->calls, 1);
    EXPECT_EQ(report->code(), 5001);
    EXPECT_EQ(item->image(), placeholder);

    // Kept: an item that shows nothing stays empty until the image arrives.
    auto empty = ui::ListItem::make("Round 2");
    auto kept = std::make_shared<testing::Report>();
    pc(empty).setImage(network("/held/kept"), placeholder, items({Item::keepCurrentImageWhileLoading()}), nullptr,
                       testing::reportTo(kept));
    EXPECT_FALSE(empty->image());

    auto faded = std::make_shared<testing::Report>();
    pc(item).setImage(network("/image/faded"), placeholder, items({Item::transition(ImageTransition::fade(0.3))}), nullptr,
                      testing::reportTo(faded));
    EXPECT_EQ(item->image(), placeholder);
    ASSERT_TRUE(waitFor(faded));
    ASSERT_TRUE(faded->succeeded());
    EXPECT_EQ(item->image(), faded->image());
    EXPECT_TRUE(delays->empty());
    EXPECT_FALSE(pc(item).taskIdentifier());

    server.openGate();
    ASSERT_TRUE(waitFor(kept));
    EXPECT_EQ(empty->image(), kept->image());
}

TEST_F(SetImageTargetsTest, listItemsDropStaleResultsAndShowFailureImages) {
    auto older = std::make_shared<testing::Report>();
    auto newer = std::make_shared<testing::Report>();
    pc(item).setImage(network("/held/older"), nullptr, items(), nullptr, testing::reportTo(older));
    pc(item).setImage(network("/status/500"), nullptr, items({Item::onFailureImage(solid(gfx::Color::black()))}),
                      nullptr, testing::reportTo(newer));
    ASSERT_TRUE(waitFor(newer));
    EXPECT_EQ(newer->code(), 2002);
    const auto failure = item->image();
    EXPECT_TRUE(failure);
    server.openGate();
    ASSERT_TRUE(waitFor(older));
    EXPECT_EQ(older->code(), 5002);
    EXPECT_EQ(item->image(), failure);
}

// A label showing a line of text with an attachment in the middle.
struct AttachmentLabel {
    explicit AttachmentLabel(const std::shared_ptr<gfx::TextAttachment>& attachment) {
        attachment->bounds = {{0, 0}, {20, 20}};
        gfx::AttributedString text("Flag ");
        text.appendAttachment(attachment);
        label->setAttributedText(text);
        label->setFrame({0, 0, 200, 40});
    }
    std::shared_ptr<ui::Label> label = std::make_shared<ui::Label>();
};

// The text engine's font library sets itself up on threads of its own, in ways ThreadSanitizer cannot
// see synchronised; under it, the label is not shown.
#if defined(__SANITIZE_THREAD__)
constexpr bool drawsText = false;
#else
constexpr bool drawsText = true;
#endif

// Whether any pixel of the frame is close to pure red.
bool showsRed(const gfx::Bitmap& frame) {
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            const auto pixel = frame.pixel(x, y);
            if (((pixel >> 16) & 0xff) > 240 && ((pixel >> 8) & 0xff) < 16 && (pixel & 0xff) < 16) return true;
        }
    return false;
}

TEST_F(SetImageTargetsTest, anAttachmentShowsItsImageInTheLabelAfterOneRedrawRequest) {
    AttachmentLabel shown(attachment);
    if (drawsText) {
        host.window()->addSubview(shown.label);
        host.snapshot();
        EXPECT_FALSE(showsRed(host.lastFrame()));
    }

    auto red = solid(gfx::Color{1, 0, 0, 1}, 20);
    auto provider = std::make_shared<RawImageDataProvider>(*gfx::encodePng(*red->bitmap()), "red-square");
    int asked = 0;
    auto report = std::make_shared<testing::Report>();
    pc(attachment).setImage(provider->convertToSource(), [&]() -> std::shared_ptr<ui::View> {
        ++asked;
        EXPECT_EQ(report->calls, 0);  // before the completion
        return shown.label;
    }, nullptr, items(), nullptr, testing::reportTo(report));
    EXPECT_EQ(asked, 0);
    ASSERT_TRUE(waitFor(report));
    ASSERT_TRUE(report->succeeded());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(attachment->image.width, 20);
    if (drawsText) {
        host.renderIfNeeded();
        EXPECT_TRUE(showsRed(host.lastFrame()));
    }
}

TEST_F(SetImageTargetsTest, staleAndFailedAttachmentsNeverAskForTheView) {
    int asked = 0;
    auto countingView = [&]() -> std::shared_ptr<ui::View> {
        ++asked;
        return nullptr;
    };
    auto placeholder = solid(gfx::Color::white(), 3);
    auto empty = std::make_shared<testing::Report>();
    pc(attachment).setImage(std::optional<Source>(), countingView, placeholder, items(), nullptr, testing::reportTo(empty));
    ASSERT_EQ(empty->calls, 1);
    EXPECT_EQ(empty->code(), 5001);
    EXPECT_EQ(attachment->image.width, 3);

    auto older = std::make_shared<testing::Report>();
    auto failed = std::make_shared<testing::Report>();
    pc(attachment).setImage(network("/held/stale"), countingView, nullptr, items(), nullptr, testing::reportTo(older));
    EXPECT_TRUE(attachment->image.empty());
    pc(attachment).setImage(network("/status/404"), countingView, nullptr,
                            items({Item::onFailureImage(solid(gfx::Color::black(), 5))}), nullptr,
                            testing::reportTo(failed));
    ASSERT_TRUE(waitFor(failed));
    EXPECT_EQ(attachment->image.width, 5);
    server.openGate();
    ASSERT_TRUE(waitFor(older));
    EXPECT_EQ(older->code(), 5002);
    EXPECT_EQ(attachment->image.width, 5);
    EXPECT_EQ(asked, 0);
}

TEST_F(SetImageTargetsTest, cancellingAnAttachmentReachesTheDownloadOfAnAlternativeSource) {
    auto report = std::make_shared<testing::Report>();
    pc(attachment).setImage(network("/status/404"), nullptr, nullptr,
                            items({Item::alternativeSources({network("/held/alternative")})}), nullptr,
                            testing::reportTo(report));
    ASSERT_TRUE(waitUntil([&] { return server.hits("/held/alternative") > 0; }));
    // The first download has ended; the one running now is the alternative's, and the attachment learns
    // of it just after it starts: cancel until the cancellation lands, well before the held answer.
    ASSERT_TRUE(waitUntil(
        [&] {
            pc(attachment).cancelDownloadTask();
            return report->calls > 0;
        },
        10));
    EXPECT_FALSE(report->succeeded());
    EXPECT_EQ(server.hits("/held/alternative"), 1);
}

}  // namespace
}  // namespace pictura
