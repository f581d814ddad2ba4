#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace vellum {

class Node;

// The media a sheet is for; the list operations are not supported.
class MediaList {
public:
    const std::string& mediaText() const { return mediaText_; }
    void setMediaText(std::string text) { mediaText_ = std::move(text); }
    std::uint64_t length() const { return length_; }
    void setLength(std::uint64_t length) { length_ = length; }

    // Unsupported: they fail the assertion handler.
    std::string item(std::uint64_t index) const;
    void deleteMedium(const std::string& medium);
    void appendMedium(const std::string& medium);

private:
    std::string mediaText_;
    std::uint64_t length_ = 0;
};

// The general description of a sheet: plain fields only.
class StyleSheet {
public:
    bool disabled() const { return disabled_; }
    void setDisabled(bool disabled) { disabled_ = disabled; }
    const std::string& type() const { return type_; }
    void setType(std::string type) { type_ = std::move(type); }
    std::shared_ptr<Node> ownerNode() const { return ownerNode_.lock(); }
    void setOwnerNode(const std::shared_ptr<Node>& node) { ownerNode_ = node; }
    std::shared_ptr<StyleSheet> parentStyleSheet() const { return parentStyleSheet_.lock(); }
    void setParentStyleSheet(const std::shared_ptr<StyleSheet>& sheet) { parentStyleSheet_ = sheet; }
    const std::string& href() const { return href_; }
    void setHref(std::string href) { href_ = std::move(href); }
    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    const std::shared_ptr<MediaList>& media() const { return media_; }
    void setMedia(std::shared_ptr<MediaList> media) { media_ = std::move(media); }

private:
    bool disabled_ = false;
    std::string type_;
    std::weak_ptr<Node> ownerNode_;
    std::weak_ptr<StyleSheet> parentStyleSheet_;
    std::string href_;
    std::string title_;
    std::shared_ptr<MediaList> media_;
};

}  // namespace vellum
