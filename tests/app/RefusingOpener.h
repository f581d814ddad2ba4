#pragma once

#include <string>
#include <vector>

#include "ui/Application.h"

// A desktop with no web browser: every link is refused, and each one asked for is kept.
class RefusingOpener final : public ui::URLOpener {
public:
    bool open(const foundation::URL& url) override {
        asked.push_back(url.absoluteString());
        return false;
    }
    ui::DocumentOpenOutcome openDocument(const std::filesystem::path&, const std::string&) override {
        return ui::DocumentOpenOutcome::noApplication;
    }
    std::vector<std::string> asked;
};
