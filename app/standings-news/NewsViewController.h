#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/Client.h"
#include "standings-news/Article.h"
#include "ui/TableView.h"
#include "ui/ViewController.h"

// The articles of one of five news feeds at a time, one table per feed laid over each other and the
// chosen one shown. The season sheet hands in the five lists it has read; choosing a source in the
// menu shows its list at once and reads its feed again. Tapping an article opens its link in the
// browser (http and https only). Main thread; only the feed's read runs off it.
class NewsViewController final : public ui::ViewController,
                                 public ui::TableViewDataSource,
                                 public ui::TableViewDelegate {
public:
    struct Source {
        std::string title;  // the menu's name
        std::string url;    // the feed, on the host the configuration names
    };
    // "FIA", "AutoSport", "GPBlog", "BBC", "ShiftF1", in the menu's order.
    static std::vector<Source> sources();

    std::vector<Article> newsArticles;   // FIA
    std::vector<Article> newsArticles2;  // AutoSport
    std::vector<Article> newsArticles3;  // GPBlog
    std::vector<Article> newsArticles4;  // BBC
    std::vector<Article> newsArticles5;  // ShiftF1
    int eventType = 0;  // the source shown, 0 to 4
    // Where each source's list stands: handed in by the presenter, being read, read, or failed.
    enum class Feed { handed, loading, read, failed };
    std::array<Feed, 5> feeds{};
    // Why each failed source's last read gave no feed; its state row says it.
    std::array<std::optional<LoadFailure>, 5> feedFailures{};
    // What became of the last article tap that could not be opened; the header says it until the
    // next tap or source.
    std::optional<std::string> openFailure;
    std::vector<std::shared_ptr<ui::TableView>> tableView{
        std::make_shared<ui::TableView>(), std::make_shared<ui::TableView>(), std::make_shared<ui::TableView>(),
        std::make_shared<ui::TableView>(), std::make_shared<ui::TableView>()};

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    int numberOfSections(ui::TableView&) override { return 3; }
    int numberOfRows(ui::TableView& table, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath indexPath) override;
    std::optional<double> heightForRow(ui::TableView&, ui::IndexPath) override;
    void didSelectRow(ui::TableView& table, ui::IndexPath indexPath) override;
    // The arrows stop on the articles only, not on the title card, the source picker or a state row.
    bool canFocusRow(ui::TableView& table, ui::IndexPath indexPath) override;

    void setUpTableView(const std::shared_ptr<ui::TableView>& table);
    // The menu's action: shows source `index` at once and reads its feed again.
    void selectEventType(int index);
    // Starts reading source `index`'s feed; its list is replaced (and the tables reloaded) when the
    // read gives articles. Returns at once.
    void fetchNewsArticles(int index);

    // What a row shows of an article's description for source `index`: the FIA's and ShiftF1's
    // descriptions are HTML read as text (the FIA's without "Sport news"), the others as received.
    static std::string descriptionText(const Article& article, int index);
    // "14:05, 03 Mar": the publication's clock, day and month in the device's zone.
    static std::string timeText(const Article& article);

private:
    // The list of source `index` (any index past the fourth is ShiftF1's).
    std::vector<Article>& articles(int index);
    int sourceOf(const ui::TableView& table) const;
};
