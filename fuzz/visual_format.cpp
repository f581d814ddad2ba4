// Visual-format strings over a fixed set of views and metrics; what parses is laid out, as the cells do.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "TestItems.h"
#include "ui/VisualFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    using ui::testing::TestItem;
    // An exact-size copy, so that ASan sees any read past the end of the format.
    std::vector<char> format(bytes, bytes + size);
    auto root = TestItem::root(320, 200);
    ui::VisualFormatViews views;
    for (const char* name : {"a", "b", "c", "icon", "name"}) {
        auto item = TestItem::make(name);
        root->addSubitem(item);
        views.emplace(name, item);
    }
    views.emplace("orphan", TestItem::make("orphan"));
    const ui::VisualFormatMetrics metrics{{"gap", 12}, {"side", 40}, {"weak", 250}};
    auto constraints = ui::constraintsWithVisualFormat(std::string_view(format.data(), format.size()), metrics, views);
    if (!constraints) return 0;
    root->addConstraints(*constraints);
    root->layoutSubtree();
    return 0;
}
