#pragma once

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ui/LayoutItem.h"

namespace ui::testing {

// A view stand-in: a named box in a tree, with constraints enabled by default the way the cells use it.
class TestItem : public LayoutItem {
public:
    static std::shared_ptr<TestItem> make(std::string name) {
        auto item = std::make_shared<TestItem>();
        item->name_ = std::move(name);
        item->setTranslatesAutoresizingMaskIntoConstraints(false);
        return item;
    }
    // A root with a fixed frame, laid out from outside.
    static std::shared_ptr<TestItem> root(double width, double height) {
        auto item = make("root");
        item->setTranslatesAutoresizingMaskIntoConstraints(true);
        item->frame_ = {{0, 0}, {width, height}};
        return item;
    }

    void addSubitem(const std::shared_ptr<TestItem>& child) {
        child->superitem_ = std::static_pointer_cast<TestItem>(shared_from_this());
        children_.push_back(child);
    }

    std::shared_ptr<LayoutItem> superitem() const override { return superitem_.lock(); }
    std::vector<std::shared_ptr<LayoutItem>> subitems() const override {
        return {children_.begin(), children_.end()};
    }
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame) override { frame_ = frame; }
    Size intrinsicContentSize() const override { return intrinsic_; }
    bool isHidden() const override { return hidden_; }
    std::string layoutName() const override { return name_; }

    void setIntrinsicContentSize(Size size) { intrinsic_ = size; }
    void setName(std::string name) { name_ = std::move(name); }
    void setHidden(bool hidden) { hidden_ = hidden; }

private:
    std::string name_;
    std::weak_ptr<TestItem> superitem_;
    std::vector<std::shared_ptr<TestItem>> children_;
    Rect frame_;
    Size intrinsic_{noIntrinsicMetric, noIntrinsicMetric};
    bool hidden_ = false;
};

// A label with text of fixed advance: every character 10 points wide, lines 20 points high. With
// `wraps` it breaks onto as many lines as the width it gets needs (characters never split).
class TestLabel : public TestItem {
public:
    static constexpr double advance = 10;
    static constexpr double lineHeight = 20;

    static std::shared_ptr<TestLabel> make(std::string name, std::string text, bool wraps = false) {
        auto label = std::make_shared<TestLabel>();
        label->setName(std::move(name));
        label->text_ = std::move(text);
        label->wraps_ = wraps;
        label->setTranslatesAutoresizingMaskIntoConstraints(false);
        label->setContentHuggingPriority(251, LayoutAxis::horizontal);
        label->setContentHuggingPriority(251, LayoutAxis::vertical);
        return label;
    }

    Size intrinsicContentSize() const override {
        return {static_cast<double>(text_.size()) * advance, lineHeight};
    }
    std::optional<double> intrinsicHeight(double width) const override {
        if (!wraps_) return std::nullopt;
        double perLine = std::max(1.0, std::floor(width / advance));
        return std::max(1.0, std::ceil(static_cast<double>(text_.size()) / perLine)) * lineHeight;
    }
    void setText(std::string text) { text_ = std::move(text); }

private:
    std::string text_;
    bool wraps_ = false;
};

}  // namespace ui::testing
