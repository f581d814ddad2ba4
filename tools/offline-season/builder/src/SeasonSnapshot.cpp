#include "offline_season/SeasonSnapshot.h"

#include <fstream>
#include <system_error>

namespace offline_season {
namespace {

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const auto& item : items) {
    if (!text.empty()) text += ", ";
    text += item;
  }
  return text.empty() ? "-" : text;
}

}  // namespace

const char* originName(Origin origin) {
  switch (origin) {
    case Origin::recorded: return "recorded";
    case Origin::derived: return "derived";
    case Origin::generated: return "generated";
  }
  return "unknown";
}

void SeasonSnapshot::add(std::string path, SnapshotFile file) {
  files_.insert_or_assign(std::move(path), std::move(file));
}

const SnapshotFile* SeasonSnapshot::find(const std::string& path) const {
  auto found = files_.find(path);
  return found == files_.end() ? nullptr : &found->second;
}

std::string SeasonSnapshot::sourcesListing(const std::vector<std::string>& headerComments) const {
  std::string text;
  for (const auto& comment : headerComments) text += "# " + comment + "\n";
  text += "path\torigin\tfrom\thow\n";
  auto row = [&](const std::string& path, Origin origin, const std::vector<std::string>& sources,
                 const std::string& how) {
    text += path + "\t" + originName(origin) + "\t" + joined(sources) + "\t" + how + "\n";
  };
  bool listedSelf = false;
  for (const auto& [path, file] : files_) {
    if (!listedSelf && path > "SOURCES.tsv") {
      row("SOURCES.tsv", Origin::generated, {}, "this listing");
      listedSelf = true;
    }
    row(path, file.origin, file.sources, file.how);
  }
  if (!listedSelf) row("SOURCES.tsv", Origin::generated, {}, "this listing");
  return text;
}

std::expected<void, std::string> SeasonSnapshot::writeTo(const std::filesystem::path& directory) const {
  std::error_code error;
  std::filesystem::remove_all(directory, error);
  if (error) return std::unexpected("cannot clear " + directory.string() + ": " + error.message());
  for (const auto& [path, file] : files_) {
    auto target = directory / path;
    std::filesystem::create_directories(target.parent_path(), error);
    if (error) return std::unexpected("cannot create " + target.parent_path().string() + ": " + error.message());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()));
    if (!out) return std::unexpected("cannot write " + target.string());
  }
  return {};
}

}  // namespace offline_season
