#include "shell/ReminderBanner.h"

#include <algorithm>

#include "dispatch/Queue.h"
#include "gfx/Font.h"
#include "ui/Window.h"

namespace {

constexpr double bannerMargin = 12;
constexpr double bannerPadding = 16;
constexpr double bannerGap = 8;
constexpr double closeHeight = 32;

}  // namespace

ReminderBanner::ReminderBanner(const reminders::NotificationRequest& request) {
    setBackgroundColor(gfx::Color::systemBackground());
    layer()->setCornerRadius(14);
    layer()->setBorderWidth(1);
    layer()->setBorderColor(gfx::Color::separator());
    layer()->setShadowColor(gfx::Color::black());
    layer()->setShadowOpacity(0.2);
    layer()->setShadowRadius(8);
    layer()->setShadowOffset({0, 2});
    const auto& content = request.content;
    title->setFont(gfx::Font::systemFont(gfx::Font::preferredFont(gfx::TextStyle::body).pointSize(), gfx::FontWeight::semibold));
    title->setNumberOfLines(0);
    title->setText(content.title);
    body->setFont(gfx::Font::preferredFont(gfx::TextStyle::subheadline));
    body->setTextColor(gfx::Color::secondaryLabel());
    body->setNumberOfLines(0);
    body->setText(content.subtitle.empty() ? content.body : content.subtitle + "\n" + content.body);
    close->setTitle("Close", ui::ControlState::normal);
    close->addAction([](ui::Control& sender) {
        // The banner is the button's superview; the ones below it move up.
        auto banner = sender.superview();
        auto window = banner ? banner->window() : nullptr;
        if (banner) banner->removeFromSuperview();
        if (!window) return;
        double top = window->windowSafeAreaInsets().top + bannerGap;
        for (const auto& left : ReminderBanner::shown()) {
            left->place(top, window->bounds().width());
            top = left->frame().maxY() + bannerGap;
        }
    }, ui::ControlEvent::touchUpInside);
    addSubview(title);
    addSubview(body);
    addSubview(close);
}

std::vector<std::shared_ptr<ReminderBanner>> ReminderBanner::shown() {
    std::vector<std::shared_ptr<ReminderBanner>> banners;
    auto window = ui::Window::keyWindow();
    if (!window) return banners;
    for (const auto& view : window->subviews())
        if (auto banner = std::dynamic_pointer_cast<ReminderBanner>(view)) banners.push_back(banner);
    return banners;
}

void ReminderBanner::place(double top, double width) {
    double inner = std::max(0.0, width - 2 * bannerMargin - 2 * bannerPadding);
    double titleHeight = title->sizeThatFits({inner, 10000}).height;
    double bodyHeight = body->sizeThatFits({inner, 10000}).height;
    double y = bannerPadding;
    title->setFrame({bannerPadding, y, inner, titleHeight});
    y += titleHeight + 4;
    body->setFrame({bannerPadding, y, inner, bodyHeight});
    y += bodyHeight + 4;
    double closeWidth = std::max(64.0, close->sizeThatFits({inner, closeHeight}).width + 16);
    close->setFrame({bannerPadding + inner - closeWidth, y, closeWidth, closeHeight});
    y += closeHeight + bannerPadding / 2;
    setFrame({bannerMargin, top, width - 2 * bannerMargin, y});
}

std::expected<void, reminders::ReminderError> WindowNotificationPresenter::present(const reminders::NotificationRequest& request) {
    if (!dispatch::isMainThread()) return std::unexpected(reminders::ReminderError{"the app's window is shown only from its main thread"});
    auto window = ui::Window::keyWindow();
    if (!window) return std::unexpected(reminders::ReminderError{"the app has no window to show it in"});
    double top = window->windowSafeAreaInsets().top + bannerGap;
    for (const auto& above : ReminderBanner::shown()) top = std::max(top, above->frame().maxY() + bannerGap);
    auto banner = std::make_shared<ReminderBanner>(request);
    window->addSubview(banner);
    banner->place(top, window->bounds().width());
    window->setNeedsRender();
    return {};
}
