#include "standings-news/NewsViewController.h"

#include <algorithm>

#include "cells/DetailHeaderCell.h"
#include "cells/LapPickerCell.h"
#include "cells/NewsCell.h"
#include "cells/StateCell.h"
#include "data/ServiceHosts.h"
#include "dispatch/Queue.h"
#include "dispatch/Task.h"
#include "foundation/DateFormatter.h"
#include "foundation/Strings.h"
#include "shell/SeasonSheetSupport.h"
#include "shell/Utilities.h"
#include "standings-news/RSSParser.h"
#include "standings-news/SheetRows.h"
#include "ui/Application.h"

namespace {

constexpr int fiaSource = 0;
constexpr int shiftF1Source = 4;

std::vector<std::string> sourceTitles() {
    std::vector<std::string> titles;
    for (const auto& source : NewsViewController::sources()) titles.push_back(source.title);
    return titles;
}

}  // namespace

std::vector<NewsViewController::Source> NewsViewController::sources() {
    const ServiceHosts hosts = ServiceHosts::current();
    return {
        {"FIA", "https://" + hosts.fiaNews + "/rss/press-release"},
        {"AutoSport", "https://" + hosts.autosportNews + "/rss/f1/news/"},
        {"GPBlog", "https://" + hosts.gpblogNews + "/en/rss"},
        {"BBC", "https://" + hosts.bbcNews + "/sport/formula1/rss.xml"},
        {"ShiftF1", "http://" + hosts.shiftF1News + "/rss"},
    };
}

void NewsViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::systemBackground());
    for (const auto& table : tableView) setUpTableView(table);
    // A list the presenter could not fill is read here, so the sheet says what became of it.
    if (articles(eventType).empty()) fetchNewsArticles(eventType);
}

void NewsViewController::setUpTableView(const std::shared_ptr<ui::TableView>& table) {
    table->registerClass<DetailHeaderCell>(DetailHeaderCell::statusReuseIdentifier);
    table->registerClass<LapPickerCell>(LapPickerCell::reuseIdentifier);
    table->registerClass<NewsCell>(NewsCell::reuseIdentifier);
    table->registerClass<StateCell>(StateCell::reuseIdentifier);
    for (std::size_t index = 0; index < tableView.size(); ++index) tableView[index]->setAlpha(index == 0 ? 1.0 : 0.0);
    auto self = std::static_pointer_cast<NewsViewController>(shared_from_this());
    table->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
    table->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
    table->setBackgroundColor(gfx::Color::clear());
    table->setClipsToBounds(true);
    table->setRowHeight(ui::TableView::automaticDimension);
    table->setTableFooterView(std::make_shared<ui::View>(ui::Rect{}));
    table->setShowsVerticalScrollIndicator(false);
    view()->addSubview(table);
}

void NewsViewController::viewDidLayoutSubviews() {
    ui::ViewController::viewDidLayoutSubviews();
    ui::Rect bounds = view()->bounds();
    for (const auto& table : tableView) table->setFrame({0, 0, bounds.size.width, bounds.size.height});
}

std::vector<Article>& NewsViewController::articles(int index) {
    switch (index) {
        case 0: return newsArticles;
        case 1: return newsArticles2;
        case 2: return newsArticles3;
        case 3: return newsArticles4;
        default: return newsArticles5;
    }
}

int NewsViewController::sourceOf(const ui::TableView& table) const {
    auto found = std::find_if(tableView.begin(), tableView.end(), [&](const auto& own) { return own.get() == &table; });
    return static_cast<int>(found - tableView.begin());
}

int NewsViewController::numberOfRows(ui::TableView& table, int section) {
    if (section < 2) return 1;
    return std::max(1, static_cast<int>(articles(sourceOf(table)).size()));
}

bool NewsViewController::canFocusRow(ui::TableView& table, ui::IndexPath indexPath) {
    return indexPath.section == 2 && indexPath.row < static_cast<int>(articles(sourceOf(table)).size());
}

std::optional<double> NewsViewController::heightForRow(ui::TableView&, ui::IndexPath) {
    return ui::TableView::automaticDimension;
}

std::string NewsViewController::descriptionText(const Article& article, int index) {
    if (index == fiaSource) return foundation::replacingOccurrences(stripHTMLTags(article.description), "Sport news", "");
    if (index >= shiftF1Source) return stripHTMLTags(article.description);
    return article.description;
}

std::string NewsViewController::timeText(const Article& article) {
    foundation::DateFormatter formatter;
    formatter.setLocale(foundation::Locale("en_US_POSIX"));
    auto part = [&](const char* pattern) {
        formatter.setDateFormat(pattern);
        return formatter.string(article.pubDate);
    };
    std::string clock = part("HH:mm");
    std::string day = part("dd");
    return clock + ", " + day + " " + part("LLL");
}

std::shared_ptr<ui::TableViewCell> NewsViewController::cellForRow(ui::TableView& table, ui::IndexPath indexPath) {
    if (indexPath.section == 0) {
        // Its second line says why an article did not open, in place of the motto.
        auto cell = table.dequeueReusableCell<DetailHeaderCell>(DetailHeaderCell::statusReuseIdentifier, indexPath);
        cell->time->setHidden(true);
        cell->race->setText("News");
        cell->circuit->setText(openFailure.value_or("Stay up to date with the world of Formula 1"));
        cell->location->setHidden(true);
        styleRow(*cell, gfx::Color::systemRed(), gfx::Color::clear());
        return cell;
    }
    if (indexPath.section == 1) {
        auto cell = table.dequeueReusableCell<LapPickerCell>(LapPickerCell::reuseIdentifier, indexPath);
        auto titles = sourceTitles();
        const std::string& name = titles[std::clamp(eventType, 0, shiftF1Source)];
        cell->event->setText("Articles from");
        cell->lap->setTitle(name, ui::ControlState::normal);
        cell->lap->setAttributedTitle(pickerTitle(name), ui::ControlState::normal);
        auto weak = std::weak_ptr<NewsViewController>(std::static_pointer_cast<NewsViewController>(shared_from_this()));
        cell->lap->setMenu(choiceMenu(titles, eventType, [weak](int index) {
            if (auto self = weak.lock()) self->selectEventType(index);
        }));
        cell->lap->setShowsMenuAsPrimaryAction(true);
        cell->title->setHidden(true);
        styleRow(*cell, gfx::Color::systemRed().withAlphaComponent(0.75), gfx::Color::clear());
        return cell;
    }

    int source = sourceOf(table);
    const auto& list = articles(source);
    if (list.empty()) {
        auto state = stateRow(table, indexPath);
        if (!state) return state;
        int shown = std::clamp(source, 0, shiftF1Source);
        std::string name = sourceTitles()[shown];
        switch (feeds[shown]) {
            case Feed::loading: state->showLoading("the " + name + " articles"); break;
            case Feed::failed: state->showCouldNotLoad("The " + name + " articles", feedFailures[shown]); break;
            // Nothing to list is a gap, told as the other cards tell theirs: the list's name over why.
            case Feed::read: state->showGap(name + " articles", "The feed has none right now."); break;
            case Feed::handed: state->showGap(name + " articles", "None to show yet.");
        }
        return state;
    }
    auto cell = table.dequeueReusableCell<NewsCell>(NewsCell::reuseIdentifier, indexPath);
    if (indexPath.row < static_cast<int>(list.size())) {
        const Article& article = list[indexPath.row];
        cell->time->setText(timeText(article));
        cell->titleText->setText(article.title);
        cell->message->setText(descriptionText(article, source));
    }
    styleRow(*cell, gfx::Color::systemBackground(), gfx::Color::systemBackground().withAlphaComponent(0.2));
    return cell;
}

void NewsViewController::didSelectRow(ui::TableView& table, ui::IndexPath indexPath) {
    table.deselectRow(indexPath, true);
    if (indexPath.section != 2) return;
    playTapFeedback();
    const auto& list = articles(eventType);
    if (indexPath.row < 0 || indexPath.row >= static_cast<int>(list.size())) return;
    openFailure.reset();
    // The application lets only http and https links leave the app; a tap that opens nothing says so.
    auto weak = std::weak_ptr<NewsViewController>(std::static_pointer_cast<NewsViewController>(shared_from_this()));
    openLink(list[indexPath.row].link, "the article", [weak](std::optional<std::string> failure) {
        auto self = weak.lock();
        if (!self) return;
        self->openFailure = std::move(failure);
        for (const auto& table : self->tableView) table->reloadRows({{0, 0}});
    });
}

void NewsViewController::selectEventType(int index) {
    eventType = index;
    openFailure.reset();
    for (std::size_t table = 0; table < tableView.size(); ++table) {
        tableView[table]->setAlpha(static_cast<int>(table) == index ? 1.0 : 0.0);
    }
    fetchNewsArticles(index);
    for (const auto& table : tableView) table->reloadData();
}

void NewsViewController::fetchNewsArticles(int index) {
    auto all = sources();
    if (index < 0 || index >= static_cast<int>(all.size())) return;
    auto url = foundation::URL::fromString(all[index].url);
    if (!url) return;
    auto self = std::static_pointer_cast<NewsViewController>(shared_from_this());
    feeds[index] = Feed::loading;
    dispatch::spawn(dispatch::Queue::main(), [self, index, url = *url]() -> dispatch::Task<void> {
        RSSParser parser;
        auto read = co_await parser.parse(url);
        self->feeds[index] = read ? Feed::read : Feed::failed;
        self->feedFailures[index] = read ? std::nullopt : std::optional(read.error());
        if (!read) {
            // The list shown stays; an empty one says the feed could not be read.
            for (const auto& table : self->tableView) table->reloadData();
            co_return;
        }
        // Every article is kept: the reader lets nothing of the channel into the first one.
        self->articles(index) = std::move(*read);
        for (const auto& table : self->tableView) table->reloadData();
    });
}
