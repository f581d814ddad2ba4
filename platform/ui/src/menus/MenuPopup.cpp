#include "ui/MenuPopup.h"

#include <algorithm>

#include "gfx/Path.h"
#include "ui/Control.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/Window.h"

namespace ui {

namespace {

constexpr double cornerRadius = 13;
constexpr double inset = 16;
constexpr double imageSide = 22;
constexpr double checkWidth = 28;

// One action: a checkmark column, the title and the image at the trailing edge.
class MenuRow final : public Control {
public:
    explicit MenuRow(const MenuAction& action) : checked_(action.state == MenuElementState::on) {
        setLayoutName("MenuRow");
        title_->setText(action.title);
        addSubview(title_);
        if (action.image) {
            image_->setImage(action.image);
            image_->setRenderingMode(ImageRenderingMode::alwaysTemplate);
            image_->setContentMode(ContentMode::scaleAspectFit);
            image_->setTintColor(gfx::Color::black());
            addSubview(image_);
        }
    }

    void layoutSubviews() override {
        Rect box = bounds();
        double trailing = image_->superview() ? imageSide + inset : 0;
        title_->setFrame({inset + checkWidth, 0, box.size.width - inset * 2 - checkWidth - trailing, box.size.height});
        image_->setFrame({box.size.width - inset - imageSide, (box.size.height - imageSide) / 2, imageSide, imageSide});
    }

    void draw(gfx::Context& context, const Rect&) override {
        if (isHighlighted()) {
            context.setFillColor(gfx::Color{0, 0, 0, 0.08});
            context.fillRect(bounds());
        }
        if (!checked_) return;
        double middle = bounds().size.height / 2;
        gfx::Path check;
        check.moveTo({inset + 2, middle});
        check.lineTo({inset + 7, middle + 5});
        check.lineTo({inset + 16, middle - 6});
        context.setStrokeColor(gfx::Color::black());
        context.setLineWidth(2);
        context.stroke(check);
    }

    bool isChecked() const { return checked_; }

private:
    bool checked_;
    std::shared_ptr<Label> title_ = std::make_shared<Label>();
    std::shared_ptr<ImageView> image_ = std::make_shared<ImageView>();
};

}  // namespace

MenuPopup::MenuPopup(std::shared_ptr<Menu> menu) : menu_(std::move(menu)) { setLayoutName("MenuPopup"); }

std::shared_ptr<MenuPopup> MenuPopup::present(View& source, const std::shared_ptr<Menu>& menu) {
    auto window = source.window();
    if (!window || !menu) return nullptr;
    if (auto open = shown(*window)) open->close();
    auto popup = std::make_shared<MenuPopup>(menu);
    if (auto owned = source.weak_from_this().lock()) {
        popup->source_ = std::static_pointer_cast<View>(owned);
        popup->tracksSource_ = true;
    }
    popup->build();
    window->addFillingSubview(popup);
    popup->place(source.convertRectTo(source.bounds(), nullptr));
    return popup;
}

std::shared_ptr<MenuPopup> MenuPopup::shown(const Window& window) {
    const auto& subviews = window.subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it)
        if (auto popup = std::dynamic_pointer_cast<MenuPopup>(*it)) return popup;
    return nullptr;
}

bool MenuPopup::closeTopmost(const Window& window) {
    auto popup = shown(window);
    if (popup) popup->close();
    return popup != nullptr;
}

void MenuPopup::closeMenusOpenedIn(const Window& window, const View* root) {
    std::vector<std::shared_ptr<MenuPopup>> closing;
    for (const auto& subview : window.subviews()) {
        auto popup = std::dynamic_pointer_cast<MenuPopup>(subview);
        if (!popup || !popup->tracksSource_) continue;
        auto source = popup->source();
        if (!source || source->window().get() != &window || (root && source->isDescendant(*root))) closing.push_back(popup);
    }
    for (const auto& popup : closing) popup->close();
}

void MenuPopup::build() {
    panel_->setBackgroundColor(gfx::Color{0.97, 0.97, 0.97, 1});
    panel_->layer()->setCornerRadius(cornerRadius);
    panel_->layer()->setShadowColor(gfx::Color::black());
    panel_->layer()->setShadowOpacity(0.2);
    panel_->layer()->setShadowRadius(12);
    addSubview(panel_);
    list_->layer()->setCornerRadius(cornerRadius);
    list_->setClipsToBounds(true);
    panel_->addSubview(list_);
    std::weak_ptr<MenuPopup> weak = std::static_pointer_cast<MenuPopup>(shared());
    for (std::size_t index = 0; index < menu_->children.size(); ++index) {
        auto row = std::make_shared<MenuRow>(menu_->children[index]);
        row->setFrame(rowFrame(index));
        row->addAction(
            [weak, index](Control&) {
                if (auto popup = weak.lock()) popup->pick(index);
            },
            ControlEvent::touchUpInside);
        list_->addSubview(row);
        rows_.push_back(row);
    }
    list_->setContentSize({width, rowHeight * static_cast<double>(menu_->children.size())});
}

Rect MenuPopup::rowFrame(std::size_t index) const { return {0, rowHeight * static_cast<double>(index), width, rowHeight}; }

void MenuPopup::place(const Rect& anchor) {
    Rect area = bounds();
    if (auto shownIn = window()) area = area.inset(shownIn->windowSafeAreaInsets());
    area = area.inset({margin, margin, margin, margin});
    double content = rowHeight * static_cast<double>(menu_->children.size());
    double below = area.maxY() - anchor.maxY() - margin;
    double above = anchor.minY() - area.minY() - margin;
    // Below the source when it fits or has the more room, else above; scrolling takes the rest.
    bool goesBelow = content <= below || below >= above;
    double height = std::clamp(content, 0.0, std::max(goesBelow ? below : above, rowHeight));
    height = std::min(height, area.size.height);
    double y = goesBelow ? anchor.maxY() + margin : anchor.minY() - margin - height;
    y = std::clamp(y, area.minY(), std::max(area.minY(), area.maxY() - height));
    double x = std::clamp(anchor.minX(), area.minX(), std::max(area.minX(), area.maxX() - width));
    panel_->setFrame({x, y, width, height});
    list_->setFrame({0, 0, width, height});
    // A long list opens with its checked row in the middle of the view, not scrolled to the top.
    if (auto index = openingRow()) {
        double top = rowFrame(*index).midY() - height / 2;
        list_->setContentOffset({0, std::clamp(top, 0.0, std::max(0.0, content - height))});
    }
}

std::optional<std::size_t> MenuPopup::openingRow() const {
    auto checked = std::find_if(menu_->children.begin(), menu_->children.end(),
                                [](const MenuAction& action) { return action.state == MenuElementState::on; });
    if (checked != menu_->children.end()) return static_cast<std::size_t>(checked - menu_->children.begin());
    if (menu_->openAt && *menu_->openAt < menu_->children.size()) return menu_->openAt;
    return std::nullopt;
}

std::shared_ptr<View> MenuPopup::hitTest(Point point, const Event& event) {
    if (auto hit = View::hitTest(point, event); hit && hit.get() != this) return hit;
    return bounds().contains(point) ? shared() : nullptr;
}

void MenuPopup::touchesEnded(const std::vector<Touch>&, const Event&) { close(); }

void MenuPopup::close() { removeFromSuperview(); }

void MenuPopup::moveHighlight(int step) {
    if (rows_.empty()) return;
    std::size_t last = rows_.size() - 1;
    // The keyboard starts where the menu's choice is, which the menu already shows: an arrow moves on
    // from it at once (a menu opened from the keyboard asks for the choice itself, with a step of 0).
    std::optional<std::size_t> from = highlighted_ ? highlighted_ : openingRow();
    std::size_t next = step < 0 ? last : 0;
    if (from) next = step < 0 ? (*from == 0 ? 0 : *from - 1) : std::min(*from + (step > 0), last);
    if (highlighted_) rows_[*highlighted_]->setHighlighted(false);
    highlighted_ = next;
    rows_[next]->setHighlighted(true);
    Rect row = rowFrame(next);
    Rect shown = list_->bounds();
    double top = shown.minY();
    if (row.minY() < shown.minY()) top = row.minY();
    else if (row.maxY() > shown.maxY()) top = row.maxY() - shown.height();
    if (top != shown.minY()) list_->setContentOffset({0, top});
}

bool MenuPopup::pickHighlighted() {
    if (!highlighted_) return false;
    pick(*highlighted_);
    return true;
}

void MenuPopup::pick(std::size_t index) {
    auto keep = shared();
    close();
    if (index >= menu_->children.size()) return;
    const MenuAction& action = menu_->children[index];
    if (action.handler) action.handler(action);
}

}  // namespace ui
