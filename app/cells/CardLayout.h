#pragma once

#include <concepts>
#include <initializer_list>
#include <memory>
#include <string_view>

#include "cells/CellStyles.h"
#include "ui/Label.h"
#include "ui/LayoutConstraint.h"
#include "ui/TableViewCell.h"
#include "ui/VisualFormat.h"

// The construction steps every card cell takes: the card view fills the content view, every other
// subview is styled and put on the card, and the constraints go on the content view.

void addCardView(ui::TableViewCell& cell, const std::shared_ptr<ui::View>& bgView);

void addToCard(ui::View& bgView, const std::shared_ptr<ui::Label>& label, const LabelStyle& style);

template <class SubView, class Styling>
    requires std::invocable<Styling, SubView&>
void addToCard(ui::View& bgView, const std::shared_ptr<SubView>& view, Styling&& styling) {
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    styling(*view);
    bgView.addSubview(view);
}

// A format that does not parse is a programming error: it asserts, and in a release build prints and
// adds nothing for that string.
void addVisualFormats(ui::View& contentView, std::initializer_list<std::string_view> formats,
                      const ui::VisualFormatViews& views, const ui::VisualFormatMetrics& metrics = {});

// Required horizontal compression resistance: the views keep their full width and their neighbours
// give way.
void keepFullWidth(std::initializer_list<std::shared_ptr<ui::View>> views);

// A line that shows a status in place of its usual text ("Could not open the article: ..."): wrapped,
// never cut, with the room of `statusLines` lines kept whatever it shows, so that `below` (`gap`
// points under it; the formats leave that gap as "(>=gap)") keeps its place as a status comes and
// goes. A longer status still shows whole.
inline constexpr int statusLines = 2;
void keepStatusRoom(const std::shared_ptr<ui::Label>& label, const std::shared_ptr<ui::View>& below, double gap);

void activateEach(std::initializer_list<std::shared_ptr<ui::LayoutConstraint>> constraints);
