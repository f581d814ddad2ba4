#include "livetiming/SeasonIndex.h"

#include <memory>
#include <optional>

#include "data/GlobalStruct.h"
#include "dispatch/Queue.h"
#include "data/Decoding.h"
#include "livetiming/LiveTiming.h"

namespace {

// The callers of one read, answered together when it ends.
struct PendingRead {
    std::vector<std::function<void(SeasonIndex::Meetings)>> waiting;
};

struct Held {
    std::uint64_t generation = 0;
    std::string year;
    std::optional<std::vector<livetiming::Meeting>> meetings;
    std::shared_ptr<PendingRead> reading;
};

Held& held() {
    static Held index;
    return index;
}

struct Ask {
    std::string year;
    SeasonIndex::Read read;
};

void join(const Ask& ask, std::function<void(SeasonIndex::Meetings)> resume) {
    Held& index = held();
    const std::uint64_t generation = GlobalStruct::newestLoadGeneration();
    if (index.generation != generation || index.year != ask.year) index = Held{generation, ask.year, {}, {}};
    if (index.meetings) return resume(*index.meetings);
    if (index.reading) return index.reading->waiting.push_back(std::move(resume));

    auto pending = std::make_shared<PendingRead>();
    pending->waiting.push_back(std::move(resume));
    index.reading = pending;
    SeasonIndex::Read read = ask.read ? ask.read : SeasonIndex::Read(LiveTiming::all);
    dispatch::spawn(dispatch::Queue::main(), [pending, year = ask.year, read]() -> dispatch::Task<void> {
        Loaded body = co_await read(year);
        // A failure was logged where it happened, by the read or the decoding.
        SeasonIndex::Meetings result = std::unexpected(foundation::DecodingError{
            foundation::DecodingError::Kind::dataCorrupted, "", "",
            body.failure ? body.failureDescription() : "the index does not decode"});
        if (auto decoded = co_await decodeLoaded<livetiming::EventsModel>(std::move(body))) result = std::move(decoded->meetings);
        // Kept only while no newer load or other season replaced what this read was for.
        Held& index = held();
        if (index.reading == pending) {
            index.reading.reset();
            if (result) index.meetings = *result;
        }
        for (auto& resume : pending->waiting) resume(result);
    });
}

dispatch::Task<SeasonIndex::Meetings> awaitJoin(std::shared_ptr<const Ask> ask) {
    auto start = [ask](std::function<void(SeasonIndex::Meetings)> resume) { join(*ask, std::move(resume)); };
    co_return co_await dispatch::awaitCallback<SeasonIndex::Meetings>(std::move(start));
}

}  // namespace

dispatch::Task<SeasonIndex::Meetings> SeasonIndex::meetings(std::string year, Read read) {
    return awaitJoin(std::make_shared<const Ask>(Ask{std::move(year), std::move(read)}));
}
