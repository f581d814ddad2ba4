#pragma once

#include <memory>
#include <optional>
#include <string>

#include "gfx/Image.h"

namespace ui {

// One row of a list that a list template shows (a text, a detail text and an image), as a model object:
// the template that shows it reads these whenever it draws. Main thread only.
class ListItem {
public:
    explicit ListItem(std::optional<std::string> text = std::nullopt,
                      std::optional<std::string> detailText = std::nullopt,
                      std::shared_ptr<gfx::Image> image = nullptr)
        : text_(std::move(text)), detailText_(std::move(detailText)), image_(std::move(image)) {}
    static std::shared_ptr<ListItem> make(std::optional<std::string> text = std::nullopt,
                                          std::optional<std::string> detailText = std::nullopt,
                                          std::shared_ptr<gfx::Image> image = nullptr) {
        return std::make_shared<ListItem>(std::move(text), std::move(detailText), std::move(image));
    }

    const std::optional<std::string>& text() const { return text_; }
    void setText(std::optional<std::string> text) { text_ = std::move(text); }
    const std::optional<std::string>& detailText() const { return detailText_; }
    void setDetailText(std::optional<std::string> text) { detailText_ = std::move(text); }
    const std::shared_ptr<gfx::Image>& image() const { return image_; }
    // Null shows no image.
    void setImage(std::shared_ptr<gfx::Image> image) { image_ = std::move(image); }

private:
    std::optional<std::string> text_;
    std::optional<std::string> detailText_;
    std::shared_ptr<gfx::Image> image_;
};

}  // namespace ui
