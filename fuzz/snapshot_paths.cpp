// Request paths against a snapshot folder: whatever the path, nothing outside the folder is served.
// The folder holds links that point out of it and a replayed session, as the offline season does.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/Date.h"
#include "net/Request.h"
#include "net/SnapshotProtocol.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view secret = "outside-the-snapshot";

struct Folder {
    fs::path root = fs::temp_directory_path() / ("sorvane-fuzz-snapshot-" + std::to_string(::getpid()));
    std::shared_ptr<net::SnapshotProtocol> protocol;

    Folder() {
        fs::remove_all(root);
        write("tree/2023.json", R"({"season":"2023"})");
        write("tree/2023/1/laps.limit=1200.json", R"({"laps":[]})");
        write("tree/Circuit maps/Baku Map.png", "\x89PNG");
        write("tree/rss/f1/news/index.xml", "<rss/>");
        write("tree/2023/Baku/Sprint/LapCount.jsonStream",
              "00:00:01.000{\"CurrentLap\":1,\"TotalLaps\":17}\r\n00:10:00.000{\"CurrentLap\":2}\r\n");
        write("tree/2023/Baku/Sprint/LapCount.json", R"({"CurrentLap":0})");
        write("outside.json", std::string(secret));
        fs::create_symlink(root / "outside.json", root / "tree/escape.json");
        fs::create_symlink(root, root / "tree/up");
        fs::create_symlink("../..", root / "tree/2023/back");
        auto made = net::SnapshotProtocol::make(
            {.root = root / "tree",
             .pathPrefix = "/",
             .replays = {{"2023/Baku/Sprint/", foundation::Date::fromUnix(1'700'000'000)}}});
        if (!made) std::abort();
        protocol = *made;
    }
    ~Folder() {
        std::error_code error;
        fs::remove_all(root, error);
    }
    void write(const std::string& relative, const std::string& bytes) {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative, std::ios::binary) << bytes;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static Folder folder;
    std::string_view path(reinterpret_cast<const char*>(bytes), size);
    std::string address = "http://snapshot.test";
    if (!path.starts_with('/')) address += '/';
    address += path;
    auto url = foundation::URL::fromString(address);
    if (!url) return 0;
    for (const char* method : {"GET", "HEAD"}) {
        net::Request request(*url);
        request.method = method;
        auto answer = folder.protocol->answer(request);
        if (!answer) continue;
        if (answer->body.view().find(secret) != std::string_view::npos) __builtin_trap();
    }
    return 0;
}
