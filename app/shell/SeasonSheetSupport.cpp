#include "shell/SeasonSheetSupport.h"

#include "ui/Feedback.h"
#include "ui/SheetPresentationController.h"

void playTapFeedback() { ui::ImpactFeedbackGenerator(ui::ImpactFeedbackStyle::rigid).impactOccurred(); }

void setUpPresentedSheet(ui::ViewController& screen, SheetHeights heights) {
    auto sheet = screen.sheetPresentationController();
    if (!sheet) return;
    if (heights == SheetHeights::largeOnly) sheet->setDetents({ui::SheetDetent::large()});
    else sheet->setDetents({ui::SheetDetent::medium(), ui::SheetDetent::large()});
    sheet->setLargestUndimmedDetentIdentifier(ui::SheetDetent::largeIdentifier);
    sheet->setPreferredCornerRadius(18);
}

std::shared_ptr<gfx::Image> systemSymbol(std::string_view name, const gfx::SymbolConfiguration& configuration,
                                         gfx::Color tint, double scale) {
    auto rendered = gfx::symbolImage(name, configuration, tint, scale);
    if (!rendered) return nullptr;
    return gfx::Image::fromBitmap(std::move(rendered->bitmap), rendered->scale);
}
