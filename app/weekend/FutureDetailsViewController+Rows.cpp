#include "cells/CircuitDetailsCell.h"
#include "cells/DetailHeaderCell.h"
#include "cells/EventPickerCell.h"
#include "cells/RemindersCell.h"
#include "cells/TicketsCell.h"
#include "cells/WeekendCell.h"
#include "data/ServiceHosts.h"
#include "foundation/URL.h"
#include "gfx/Font.h"
#include "gfx/SymbolImages.h"
#include "shell/ImageSeam.h"
#include "ui/Application.h"
#include "ui/AssetCatalog.h"
#include "ui/Feedback.h"
#include "weekend/FutureDetailsViewController.h"
#include "weekend/SelectedSession.h"

namespace {

constexpr double hiddenSeparator = 5000;

double bodySize() { return gfx::Font::preferredFont(gfx::TextStyle::body).pointSize(); }

std::shared_ptr<gfx::TextAttachment> symbolAttachment(std::string_view name, double size, gfx::FontWeight weight, gfx::Color tint) {
    auto attachment = std::make_shared<gfx::TextAttachment>();
    if (auto symbol = gfx::symbolImage(name, {size, weight}, tint, 2)) {
        attachment->image = std::move(symbol->bitmap);
        attachment->imageScale = symbol->scale;
    }
    return attachment;
}

gfx::AttributedString symbolTitle(std::string_view symbol, std::string_view text) {
    double size = bodySize() - 4;
    gfx::TextAttributes attributes;
    attributes.font = gfx::Font::systemFont(size, gfx::FontWeight::regular);
    attributes.foregroundColor = gfx::Color::secondaryLabel();
    gfx::AttributedString title;
    title.appendAttachment(symbolAttachment(symbol, size, gfx::FontWeight::regular, gfx::Color::secondaryLabel()));
    title.append(text, attributes);
    return title;
}

void styleCard(ui::TableViewCell& cell, bool separator = true) {
    cell.setSeparatorInset(separator ? ui::EdgeInsets{} : ui::EdgeInsets{0, hiddenSeparator, 0, 0});
    auto selected = std::make_shared<ui::View>();
    selected->setBackgroundColor(gfx::Color::systemBackground().withAlphaComponent(0.2));
    cell.setSelectedBackgroundView(selected);
    cell.setBackgroundColor(gfx::Color::systemBackground());
}

void styleBanner(ui::TableViewCell& cell, gfx::Color colour) {
    cell.setSeparatorInset({});
    auto selected = std::make_shared<ui::View>();
    selected->setBackgroundColor(gfx::Color::clear());
    cell.setSelectedBackgroundView(selected);
    cell.setBackgroundColor(colour);
}

}  // namespace

const circuitDetailsOverviewModel* FutureDetailsViewController::circuitFacts() const {
    if (races.empty()) return nullptr;
    for (const auto& facts : allCircuits) {
        if (facts.id == races[0].circuit.location.locality) return &facts;
    }
    return nullptr;
}

std::shared_ptr<ui::TableViewCell> FutureDetailsViewController::cellForRow(ui::TableView& table, ui::IndexPath indexPath) {
    if (races.empty()) return nullptr;
    const RacesDetailsModel& race = races[0];
    auto weak = std::weak_ptr<FutureDetailsViewController>(self());
    auto wire = [&](ui::Button& button, const std::string& title, void (FutureDetailsViewController::*action)()) {
        button.setTag(0);
        button.setTitle(title, ui::ControlState::normal);
        button.removeAllActions();
        button.addAction([weak, action](ui::Control&) { if (auto screen = weak.lock()) ((*screen).*action)(); },
                         ui::ControlEvent::touchUpInside);
    };

    switch (indexPath.section) {
        case 0: {
            auto cell = table.dequeueReusableCell<DetailHeaderCell>(DetailHeaderCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            cell->race->setText(race.raceName);
            cell->circuit->setText(race.circuit.circuitName);
            cell->location->setText(race.circuit.location.locality + ", " + race.circuit.location.country);
            cell->time->setText(headerTimeText());
            styleBanner(*cell, gfx::Color::systemBlue());
            return cell;
        }
        case 1: {
            auto cell = table.dequeueReusableCell<EventPickerCell>(EventPickerCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            double titleSize = gfx::Font::preferredFont(gfx::TextStyle::title2).pointSize() - 2;
            gfx::TextAttributes attributes;
            attributes.font = gfx::Font::systemFont(titleSize, gfx::FontWeight::semibold);
            attributes.foregroundColor = gfx::Color::white();
            gfx::AttributedString title(sessionName() + " ", attributes);
            title.appendAttachment(symbolAttachment("chevron.down", bodySize() - 4, gfx::FontWeight::bold,
                                                    gfx::Color::white().withAlphaComponent(0.3)));
            cell->event->setAttributedTitle(std::move(title), ui::ControlState::normal);

            auto menu = std::make_shared<ui::Menu>();
            const char* names[] = {"Race", "Qualifying", weekend::hasThirdPractice(race) ? "Practice 3" : "Sprint", "Practice 2",
                                   "Practice 1"};
            for (int index = 0; index < 5; ++index) {
                menu->children.push_back(ui::MenuAction{
                    .title = names[index],
                    .image = nullptr,
                    .state = eventType == index ? ui::MenuElementState::on : ui::MenuElementState::off,
                    .handler = [weak, index](const ui::MenuAction&) { if (auto screen = weak.lock()) screen->selectEventType(index); },
                });
            }
            cell->event->setMenu(menu);
            cell->event->setShowsMenuAsPrimaryAction(true);
            cell->title->setText(countdownText());
            styleBanner(*cell, ui::namedColor("duskyBlue").value_or(gfx::Color::systemIndigo()));
            return cell;
        }
        case 2: {
            auto cell = table.dequeueReusableCell<CircuitDetailsCell>(CircuitDetailsCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            cell->infoTitle->setText("Track Details");
            cell->infoDescription->setText("Information about the circuit");
            cell->trackLengthTitle->setAttributedText(symbolTitle("arrow.left.and.right", " Length (km)"));
            cell->trackDistanceTitle->setAttributedText(symbolTitle("arrow.right.to.line", " Distance (km)"));
            cell->lapCountTitle->setAttributedText(symbolTitle("clock.arrow.circlepath", " Laps"));
            cell->cornerCountTitle->setAttributedText(symbolTitle("arrow.turn.up.right", " Corners"));
            cell->firstOpenedTitle->setAttributedText(symbolTitle("lock.open", " First Opened"));
            cell->firstGrandPrixTitle->setAttributedText(symbolTitle("flag.2.crossed", " First GP"));
            const circuitDetailsOverviewModel* facts = circuitFacts();
            cell->trackLength->setText(facts ? facts->trackLength : "");
            cell->trackDistance->setText(facts ? facts->trackDistance : "");
            cell->lapCount->setText(facts ? std::to_string(facts->lapCount) : "1");
            cell->cornerCount->setText(facts ? std::to_string(facts->cornerCount) : "1");
            cell->firstOpened->setText(facts ? facts->firstOpened : "");
            cell->firstGrandPrix->setText(facts ? facts->firstGrandPrix : "");
            // Without the circuit's facts there is no map to ask for.
            if (facts) {
                setRemoteImage(cell->circuitImage,
                               "https://" + ServiceHosts::current().mediaImages +
                                   "/image/upload/f_auto/q_auto/v1677244987/content/dam/fom-website/"
                                   "2018-redesign-assets/Circuit%20maps%2016x9/" +
                                   facts->name + "_Circuit.png.transform/7col-retina/image.png");
            }
            bool record = facts && facts->record.driver != "--";
            cell->record->setText(record ? facts->record.time : "0");
            cell->recordTitle->setAttributedText(symbolTitle(
                "clock", record ? " Fastest lap set by " + facts->record.driver + " (" + facts->record.year + ")"
                                : " No lap record set yet"));
            styleCard(*cell);
            return cell;
        }
        case 3: {
            std::string title = sessionName() + " Alerts";
            std::string description =
                reminderRefusal.value_or("Add this session to your calendar or be reminded via push notifications");
            if (reminderSet) {
                auto cell = table.dequeueReusableCell<RemoveRemindersCell>(RemoveRemindersCell::reuseIdentifier, indexPath);
                if (!cell) return cell;
                cell->infoTitle->setText(title);
                cell->infoDescription->setText(description);
                wire(*cell->calendar, "Add to Calendar", &FutureDetailsViewController::calendarTap);
                wire(*cell->notifications1, "Remove Reminder", &FutureDetailsViewController::removeReminderTap);
                styleCard(*cell);
                return cell;
            }
            auto cell = table.dequeueReusableCell<RemindersCell>(RemindersCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            cell->infoTitle->setText(title);
            cell->infoDescription->setText(description);
            wire(*cell->calendar, "Add to Calendar", &FutureDetailsViewController::calendarTap);
            wire(*cell->notifications1, "30 Mins Alert", &FutureDetailsViewController::reminder1Tap);
            wire(*cell->notifications2, "1 Hour Alert", &FutureDetailsViewController::reminder2Tap);
            styleCard(*cell);
            return cell;
        }
        case 4: {
            auto cell = table.dequeueReusableCell<ExternalLinksCell>(ExternalLinksCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            cell->infoTitle->setText("Extras");
            cell->infoDescription->setText("More options to enhance your race experience");
            wire(*cell->watch, "Where to Watch", &FutureDetailsViewController::watchTap);
            wire(*cell->tickets, "Book Tickets", &FutureDetailsViewController::bookTicketsTap);
            styleCard(*cell);
            return cell;
        }
        default: {
            if (indexPath.row == 0) {
                auto cell = table.dequeueReusableCell<WeekendHeaderCell>(WeekendHeaderCell::reuseIdentifier, indexPath);
                if (!cell) return cell;
                cell->infoTitle->setText("Weekend Structure");
                cell->infoDescription->setText("The " + race.raceName + " weekend at a glance");
                styleCard(*cell, false);
                return cell;
            }
            auto cell = table.dequeueReusableCell<WeekendCell>(WeekendCell::reuseIdentifier, indexPath);
            if (!cell) return cell;
            if (indexPath.row < static_cast<int>(weekendStructure.size())) {
                const WeekendSession& session = weekendStructure[indexPath.row];
                cell->event->setText(session.name);
                cell->day->setText(session.day);
                cell->month->setText(session.month);
                cell->time->setText(session.time + ", " + session.weekday);
            }
            styleCard(*cell, false);
            return cell;
        }
    }
}

void FutureDetailsViewController::didSelectRow(ui::TableView& table, ui::IndexPath indexPath) {
    table.deselectRow(indexPath, true);
}

void FutureDetailsViewController::openLink(const std::string& address) {
    ui::ImpactFeedbackGenerator(ui::ImpactFeedbackStyle::rigid).impactOccurred();
    if (auto url = foundation::URL::fromString(address)) ui::Application::open(*url);
}

void FutureDetailsViewController::watchTap() { openLink("https://www.formula1.com/en/toolbar/broadcast-information.html"); }

void FutureDetailsViewController::bookTicketsTap() { openLink("https://tickets.formula1.com/"); }
