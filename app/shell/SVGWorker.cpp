#include "shell/SVGWorker.h"
#include "shell/MemoryLimits.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string_view>
#include <thread>
#include <tuple>
#include <type_traits>
#include <utility>
#include <mutex>
#include <new>
#include <span>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "foundation/Process.h"
#include "gfx/WorkMeter.h"
#include "vellum/VellumImage.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SORVANE_WORKER_SANITISED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SORVANE_WORKER_SANITISED 1
#endif
#endif

namespace {

// What passes between the app and its worker, in this machine's byte order (both are the same build).
// The app gives the work meter's unit time (a double) and the worker says it is ready; then each request is a header and the document's bytes, each answer a
// header and, for a picture, its rows of premultiplied ARGB pixels.
constexpr char workerReady[] = "SVGW1\n";
constexpr std::uint32_t requestMagic = 0x51475653;  // "SVGQ"
constexpr std::uint32_t answerMagic = 0x41475653;   // "SVGA"
enum class Answer : std::uint8_t { noImage = 0, image = 1, noImageAndEnding = 2 };

struct RequestHeader {
    std::uint32_t magic = requestMagic;
    std::uint8_t hasTarget = 0;
    double width = 0, height = 0, scale = 0;
    std::uint64_t length = 0;
    static auto fields(auto& h) { return std::tie(h.magic, h.hasTarget, h.width, h.height, h.scale, h.length); }
};

struct AnswerHeader {
    std::uint32_t magic = answerMagic;
    Answer answer = Answer::noImage;
    std::int32_t width = 0, height = 0;
    double scale = 0;
    std::int32_t orientation = 0;
    static auto fields(auto& h) { return std::tie(h.magic, h.answer, h.width, h.height, h.scale, h.orientation); }
};

// A flag's usual parts: shapes, a gradient, a stroked path. No text: no flag has any, and setting up the
// fonts made the worker's start three times as long.
constexpr const char* warmUpDocument =
    "<svg xmlns='http://www.w3.org/2000/svg' width='30' height='20'><defs><linearGradient id='g'>"
    "<stop offset='0' stop-color='red'/><stop offset='1' stop-color='blue'/></linearGradient></defs>"
    "<rect width='30' height='20' fill='url(#g)'/><path d='M2 2L28 18' stroke='#fff' stroke-width='2'/>"
    "<circle cx='15' cy='10' r='4' fill='green'/></svg>";

// Larger documents are not flags; the worker refuses them unread.
constexpr std::uint64_t largestDocument = 64u << 20;

template <typename T>
void put(std::vector<std::uint8_t>& out, const T& value) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}

template <typename T>
T take(const std::uint8_t*& in) {
    T value;
    std::memcpy(&value, in, sizeof value);
    in += sizeof value;
    return value;
}

// A header goes over the pipe as its fields, in the order `fields` lists them, unpadded.
template <typename... T>
constexpr std::size_t sizeOfAll(std::tuple<T&...>*) { return (sizeof(T) + ...); }
template <typename Header>
constexpr std::size_t headerSize = sizeOfAll(static_cast<decltype(Header::fields(std::declval<Header&>()))*>(nullptr));
constexpr std::size_t requestHeaderSize = headerSize<RequestHeader>;
constexpr std::size_t answerHeaderSize = headerSize<AnswerHeader>;

template <typename Header>
std::vector<std::uint8_t> encode(const Header& header) {
    std::vector<std::uint8_t> out;
    std::apply([&](const auto&... field) { (put(out, field), ...); }, Header::fields(header));
    return out;
}

template <typename Header>
Header decode(const std::uint8_t* in) {
    Header header;
    std::apply([&](auto&... field) { ((field = take<std::remove_reference_t<decltype(field)>>(in)), ...); },
               Header::fields(header));
    return header;
}

// ---- The worker ----

bool readAll(int descriptor, void* into, std::size_t size) {
    auto* bytes = static_cast<std::uint8_t*>(into);
    while (size > 0) {
        const ssize_t got = ::read(descriptor, bytes, size);
        if (got > 0) {
            bytes += got;
            size -= static_cast<std::size_t>(got);
        } else if (got == 0 || errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool writeAll(int descriptor, const void* from, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(from);
    while (size > 0) {
        const ssize_t put = ::write(descriptor, bytes, size);
        if (put > 0) {
            bytes += put;
            size -= static_cast<std::size_t>(put);
        } else if (put < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

double ownCPUSeconds() {
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

// The kernel's own bound on a worker's CPU, past the app's watch: a document may take its CPU time and
// two seconds more (then SIGXCPU ends the worker), a worker its whole life this much (then SIGKILL). The
// app starts a fresh worker long before the second (workerRetirementCPUSeconds).
constexpr rlim_t workerLifetimeCPUSeconds = 600;
constexpr double workerRetirementCPUSeconds = 120;

bool limitCPUForNextDocument(const SVGWorkerLimits& limits) {
    const auto allowed = static_cast<rlim_t>(std::ceil(ownCPUSeconds() + limits.cpuSeconds)) + 2;
    if (allowed >= workerLifetimeCPUSeconds) return false;
    const rlimit cpu{allowed, workerLifetimeCPUSeconds};
    return ::setrlimit(RLIMIT_CPU, &cpu) == 0;
}

// ---- The app's side ----

// Writing to a worker that has ended raises SIGPIPE, whose default ends the app: while it is blocked on
// this thread, the write fails instead, and a SIGPIPE left pending is taken before it is unblocked.
class PipeSignalHeld {
public:
    PipeSignalHeld() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &before_);
    }
    ~PipeSignalHeld() {
        const timespec now{};
        while (sigtimedwait(&pipe_, nullptr, &now) > 0) {
        }
        pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    }
    PipeSignalHeld(const PipeSignalHeld&) = delete;
    PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;

private:
    sigset_t pipe_{}, before_{};
};

// What the app allows one worker for one exchange: CPU from where it stood, memory, and time.
class WorkerWatch {
public:
    WorkerWatch(const foundation::ChildProcess& worker, const SVGWorkerLimits& limits)
        : worker_(worker),
          limits_(limits),
          cpuAtStart_(worker.cpuSeconds().value_or(0)),
          deadline_(std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(limits.wallSeconds))) {}

    // Why the worker must be ended now, if it must.
    std::optional<std::string> overstepped() const {
        char text[96];
        if (auto cpu = worker_.cpuSeconds(); cpu && *cpu - cpuAtStart_ > limits_.cpuSeconds) {
            std::snprintf(text, sizeof text, "used over %.1f s of CPU on one document", limits_.cpuSeconds);
            return text;
        }
#if defined(SORVANE_WORKER_SANITISED)
        if (auto resident = worker_.residentBytes(); resident && *resident > limits_.memoryBytes) {
            std::snprintf(text, sizeof text, "held over %zu MB", limits_.memoryBytes >> 20);
            return text;
        }
#endif
        if (std::chrono::steady_clock::now() > deadline_) {
            std::snprintf(text, sizeof text, "gave no answer within %.0f s", limits_.wallSeconds);
            return text;
        }
        return std::nullopt;
    }

private:
    const foundation::ChildProcess& worker_;
    SVGWorkerLimits limits_;
    double cpuAtStart_;
    std::chrono::steady_clock::time_point deadline_;
};

// Sends all of `out` while it reads exactly `in.size()` bytes, as the worker takes and gives them, under
// the watch: why it could not, or nothing.
std::optional<std::string> exchange(const foundation::ChildProcess& worker, std::span<const std::uint8_t> out,
                                    std::span<std::uint8_t> in, const WorkerWatch& watch) {
    // Often enough that a worker past its CPU is ended within a tenth of a second of it.
    constexpr int watchMilliseconds = 50;
    std::size_t sent = 0, got = 0;
    while (sent < out.size() || got < in.size()) {
        if (auto problem = watch.overstepped()) return problem;
        pollfd ends[2];
        nfds_t count = 0;
        if (sent < out.size()) ends[count++] = {worker.input(), POLLOUT, 0};
        if (got < in.size()) ends[count++] = {worker.output(), POLLIN, 0};
        const int ready = ::poll(ends, count, watchMilliseconds);
        if (ready < 0 && errno != EINTR) return std::string("could not be waited for");
        for (nfds_t index = 0; ready > 0 && index < count; ++index) {
            if (!ends[index].revents) continue;
            if (ends[index].fd == worker.input()) {
                const ssize_t put = ::write(worker.input(), out.data() + sent, out.size() - sent);
                if (put > 0) sent += static_cast<std::size_t>(put);
                else if (put < 0 && errno != EAGAIN && errno != EINTR) return std::string("ended before it took the document");
            } else {
                const ssize_t taken = ::read(worker.output(), in.data() + got, in.size() - got);
                if (taken > 0) got += static_cast<std::size_t>(taken);
                else if (taken == 0) return std::string("ended before it answered");
                else if (errno != EAGAIN && errno != EINTR) return std::string("could not be read");
            }
        }
    }
    return std::nullopt;
}

// True when the worker has said more than its answer, or ended: it is not used again.
bool saysMoreOrEnded(const foundation::ChildProcess& worker) {
    pollfd end{worker.output(), POLLIN, 0};
    return ::poll(&end, 1, 0) != 0 || worker.hasEnded();
}

// The workers draw side by side, as many as the image library's processing lanes ask at once, up to a few:
// each is one more process to start and to hold, and a flag sheet is done with that many.
std::size_t workerCount() {
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, maximumFlagWorkers);
}

class WorkerLink : public std::enable_shared_from_this<WorkerLink> {
public:
    WorkerLink(std::vector<std::string> command, SVGWorkerLimits limits)
        : command_(std::move(command)), limits_(limits), workers_(workerCount()), retirer_([this] { retireWhenIdle(); }) {}
    ~WorkerLink() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        retirer_.join();
    }
    WorkerLink(const WorkerLink&) = delete;
    WorkerLink& operator=(const WorkerLink&) = delete;

    std::size_t size() const { return workers_.size(); }

    std::shared_ptr<gfx::Image> draw(const foundation::Data& data, const std::optional<SVGRenderTarget>& target) {
        if (data.bytes().size() > largestDocument) return nullptr;
        const DocumentKey key = keyOf(data);
        std::unique_lock lock(mutex_);
        const auto refused = [&] {
            return unstartable_ || std::any_of(givenUp_.begin(), givenUp_.end(), [&](const GivenUp& document) {
                       return document.key == key && (document.atAnySize || document.target == target);
                   });
        };
        if (refused()) return nullptr;
        if (auto image = drawnLately(data, key, target)) return image;
        Worker* worker = nullptr;
        // The same document asked for at another size waits for the one in flight: a document that costs
        // a worker its life costs one worker, not one a size.
        const auto drawing = [&] { return std::find(inFlight_.begin(), inFlight_.end(), key) != inFlight_.end(); };
        changed_.wait(lock, [&] { return unstartable_ || (!drawing() && (worker = freeWorker())); });
        // Another worker may have been ended by this very document meanwhile, or drawn it.
        if (refused()) return nullptr;
        if (auto image = drawnLately(data, key, target)) return image;
        // Held by this document alone from here: the others draw beside it, the retirer passes it by.
        worker->busy = true;
        inFlight_.push_back(key);
        lock.unlock();
        PipeSignalHeld pipeSignal;
        if (worker->process) {
            // One that ended while it waited (killed from outside) is no fault of this document; a long-lived one
            // is replaced before the kernel's bound on its whole life could end it mid-document.
            auto cpu = worker->process->cpuSeconds();
            if (!cpu || *cpu > workerRetirementCPUSeconds || saysMoreOrEnded(*worker->process)) worker->process.reset();
        }
        const bool started = worker->process || start(*worker);
        auto image = started ? ask(*worker, data, target) : nullptr;
        lock.lock();
        inFlight_.erase(std::find(inFlight_.begin(), inFlight_.end(), key));
        // One that could not start has been let go already.
        if (!started) {
            changed_.notify_all();
            return nullptr;
        }
        release(*worker);
        // The screens ask again for a flag that did not show (a row drawn anew, a preload): a document that
        // cost a worker its life costs no other, and one that gave no picture at a size (its work bounds are
        // units, not time) is not drawn again at that size.
        if (!image || !*image) {
            if (givenUp_.size() == givenUpKept) givenUp_.erase(givenUp_.begin());
            givenUp_.push_back({key, !image, target});
        }
        if (!image) {
            fail(*worker, image.error());
            return nullptr;
        }
        if (*image && data.bytes().size() <= largestDocumentKept) {
            if (drawn_.size() == drawnKept) drawn_.erase(drawn_.begin());
            drawn_.push_back({key, data, target, *image});
        }
        return *image;
    }

    // Starts the workers not yet running, side by side, each on a thread of its own, so that they are ready
    // by the first documents; a document waits for a start if it comes sooner.
    void prepare() {
        std::lock_guard lock(mutex_);
        if (unstartable_ || stopping_) return;
        for (auto& worker : workers_) {
            if (worker.busy || worker.process) continue;
            worker.busy = true;
            std::thread([self = shared_from_this(), &worker] {
                // One that could not start has been let go already.
                if (!self->start(worker)) return;
                std::lock_guard lock(self->mutex_);
                self->release(worker);
            }).detach();
        }
    }

private:
    struct Worker {
        std::unique_ptr<foundation::ChildProcess> process;
        bool busy = false;  // starting or drawing, outside the lock
        std::chrono::steady_clock::time_point lastUse;
    };

    using DocumentKey = std::pair<std::size_t, std::size_t>;  // the bytes' hash and count
    static DocumentKey keyOf(const foundation::Data& data) {
        const auto& bytes = data.bytes();
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return {std::hash<std::string_view>{}(text), bytes.size()};
    }
    // A document whose worker was ended or failed (at any size), or that gave no picture (at its size).
    struct GivenUp {
        DocumentKey key;
        bool atAnySize = false;
        std::optional<SVGRenderTarget> target;
    };
    // Those of the latest documents, latest last.
    static constexpr std::size_t givenUpKept = 256;

    // A picture drawn lately, held only while the image caches or a row hold it: the same flag is often asked
    // for again at once, by another row, before its first picture has reached the caches.
    struct Drawn {
        DocumentKey key;
        foundation::Data document;  // compared whole: a hash alone can be forged
        std::optional<SVGRenderTarget> target;
        std::weak_ptr<gfx::Image> image;
    };
    static constexpr std::size_t drawnKept = 16;
    static constexpr std::size_t largestDocumentKept = 256u << 10;  // a flag is a few kilobytes, 180 at most

    // That picture of the document at that target, if any is still held. Under the lock.
    std::shared_ptr<gfx::Image> drawnLately(const foundation::Data& data, const DocumentKey& key,
                                            const std::optional<SVGRenderTarget>& target) {
        std::erase_if(drawn_, [](const Drawn& drawn) { return drawn.image.expired(); });
        for (const auto& drawn : drawn_)
            if (drawn.key == key && drawn.target == target && drawn.document.bytes() == data.bytes())
                if (auto image = drawn.image.lock()) return image;
        return nullptr;
    }

    // A worker no document holds, a running one first. Under the lock.
    Worker* freeWorker() {
        Worker* idle = nullptr;
        for (auto& worker : workers_) {
            if (worker.busy) continue;
            if (worker.process) return &worker;
            if (!idle) idle = &worker;
        }
        return idle;
    }

    // Under the lock.
    void release(Worker& worker) {
        worker.busy = false;
        worker.lastUse = std::chrono::steady_clock::now();
        changed_.notify_all();
    }

    // Lets idle workers go; under the lock, so never one that draws or starts.
    void retireWhenIdle() {
        const auto idle = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(limits_.idleSeconds));
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            std::optional<std::chrono::steady_clock::time_point> next;
            for (auto& worker : workers_) {
                if (worker.busy || !worker.process) continue;
                if (std::chrono::steady_clock::now() - worker.lastUse >= idle) worker.process.reset();
                else if (!next || worker.lastUse + idle < *next) next = worker.lastUse + idle;
            }
            if (next) changed_.wait_until(lock, *next);
            else changed_.wait(lock);
        }
    }

    // Outside the lock, the worker held busy: only its own process is touched.
    bool start(Worker& worker) {
        auto command = command_;
        command.push_back(std::to_string(::getpid()));
        auto spawned = foundation::ChildProcess::spawn(command);
        if (!spawned) return cannotStart(worker, spawned.error());
        worker.process = std::move(*spawned);
        PipeSignalHeld pipeSignal;  // on a start thread of its own too
        // Timed here, once, while the worker loads: each worker timing it took a quarter of its start.
        const double unit = gfx::WorkMeter::nanosecondsAUnit();
        std::uint8_t ready[sizeof workerReady - 1];
        // The start is no document: a limit set lower for documents does not hold it, or a loaded machine
        // would leave the app with no worker for good.
        SVGWorkerLimits startLimits = limits_;
        startLimits.cpuSeconds = std::max(limits_.cpuSeconds, SVGWorkerLimits{}.cpuSeconds);
        if (auto problem = exchange(*worker.process, {reinterpret_cast<const std::uint8_t*>(&unit), sizeof unit}, ready,
                                    WorkerWatch(*worker.process, startLimits)))
            return cannotStart(worker, *problem);
        if (std::memcmp(ready, workerReady, sizeof ready) != 0) return cannotStart(worker, "is no SVG worker");
        return true;
    }

    bool cannotStart(Worker& worker, const std::string& problem) {
        worker.process.reset();
        std::lock_guard lock(mutex_);
        release(worker);
        // Said once, by whichever of the workers starting side by side failed first.
        if (std::exchange(unstartable_, true)) return false;
        std::fprintf(stderr, "sorvane: flags cannot be drawn: the SVG worker (%s) did not start: %s\n",
                     command_.empty() ? "" : command_.front().c_str(), problem.c_str());
        return false;
    }

    // The worker is ended; its next document gets a fresh one. Under the lock.
    void fail(Worker& worker, const std::string& problem) {
        worker.process.reset();
        std::fprintf(stderr, "sorvane: warning: a flag was not drawn: its SVG worker %s\n", problem.c_str());
    }

    // Outside the lock, the worker held busy.
    std::expected<std::shared_ptr<gfx::Image>, std::string> ask(Worker& worker, const foundation::Data& data,
                                                                 const std::optional<SVGRenderTarget>& target) {
        auto& process = worker.process;
        const WorkerWatch watch(*process, limits_);
        RequestHeader request;
        if (target && target->usable()) {
            request.hasTarget = 1;
            request.width = target->size.width;
            request.height = target->size.height;
            request.scale = target->scale;
        }
        request.length = data.bytes().size();
        auto out = encode(request);
        out.insert(out.end(), data.bytes().begin(), data.bytes().end());
        std::uint8_t headerBytes[answerHeaderSize];
        if (auto problem = exchange(*process, out, headerBytes, watch)) return std::unexpected(*problem);
        const auto header = decode<AnswerHeader>(headerBytes);
        const std::string nonsense = "answered with something that is no picture";
        if (header.magic != answerMagic) return std::unexpected(nonsense);
        if (header.answer == Answer::noImage || header.answer == Answer::noImageAndEnding) {
            if (header.answer == Answer::noImageAndEnding || saysMoreOrEnded(*process)) process.reset();
            return nullptr;
        }
        if (header.answer != Answer::image) return std::unexpected(nonsense);
        // Never larger than the box at its scale (a pixel of rounding aside), nor than the worker's memory.
        const bool fits = header.width > 0 && header.height > 0 && header.width <= 16384 && header.height <= 16384 &&
                          static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.height) * 4 <=
                              limits_.memoryBytes &&
                          (!request.hasTarget || (header.width <= std::ceil(request.width * request.scale) + 1 &&
                                                  header.height <= std::ceil(request.height * request.scale) + 1));
        if (!fits || !std::isfinite(header.scale) || header.scale <= 0 || header.orientation < 0 ||
            header.orientation > static_cast<int>(gfx::ImageOrientation::rightMirrored))
            return std::unexpected(nonsense);
        auto bitmap = gfx::Bitmap::make(header.width, header.height);
        if (auto problem = exchange(*process, {}, {bitmap.pixels.data(), bitmap.pixels.size()}, watch))
            return std::unexpected(*problem);
        if (saysMoreOrEnded(*process)) process.reset();
        return gfx::Image::fromBitmap(std::move(bitmap), header.scale,
                                      static_cast<gfx::ImageOrientation>(header.orientation));
    }

    std::mutex mutex_;
    const std::vector<std::string> command_;
    const SVGWorkerLimits limits_;
    std::vector<Worker> workers_;
    std::vector<GivenUp> givenUp_;
    std::vector<Drawn> drawn_;
    std::vector<DocumentKey> inFlight_;
    bool unstartable_ = false;
    bool stopping_ = false;
    std::condition_variable changed_;
    std::thread retirer_;  // last: it starts once the rest is made
};

}  // namespace

std::vector<std::string> svgWorkerCommand() {
    // Beside this program's file as the kernel knows it, wherever it was started from.
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return {(error ? std::filesystem::path(svgWorkerProgram) : program.parent_path() / svgWorkerProgram).string(),
            svgWorkerArgument};
}

void installSVGWorkerRenderer(std::vector<std::string> command, SVGWorkerLimits limits) {
    auto link = std::make_shared<WorkerLink>(std::move(command), limits);
    const auto workers = link->size();
    setSVGRenderer([link](const foundation::Data& data,
                          const std::optional<SVGRenderTarget>& target) { return link->draw(data, target); },
                   [link] { link->prepare(); }, workers);
}

int runSVGWorker(const char* parent, SVGWorkerLimits limits) {
    // Ends with the app: the kernel kills this process when the app's thread that started it, one that lives
    // as long as the app (foundation::ChildProcess), ends; and the app's pipes close. An app already gone
    // before this line is seen by the parent check.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    char* end = nullptr;
    const long parentID = parent ? std::strtol(parent, &end, 10) : 0;
    if (!parent || *end || parentID <= 1 || ::getppid() != parentID) return 1;

    // Held by the operating system before anything of a document is read.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
#if !defined(SORVANE_WORKER_SANITISED)
    const rlimit space{limits.memoryBytes, limits.memoryBytes};
    if (::setrlimit(RLIMIT_AS, &space) != 0) return 1;
#endif
    if (!limitCPUForNextDocument(limits)) return 1;
    // Only the answers go to the app's pipe; anything a library prints goes to standard error. No process
    // this one starts (a sanitizer's symbolizer) holds the pipe: its closing tells the app this one ended.
    const int answers = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (answers < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) return 1;
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 1);
    // A fresh process would map each large block of a document anew and give back the top of its heap at
    // each free, taking page faults for the same memory document after document: the heap keeps it instead,
    // and what a large document grew is given back after it (below).
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_TOP_PAD, 8 << 20);
#endif
    double unit = 0;
    if (!readAll(STDIN_FILENO, &unit, sizeof unit)) return 1;
    gfx::WorkMeter::useNanosecondsAUnit(unit);
    vellum::VellumImage::initialize();
    // What a first document would set up (the drawing library's state, the code it first runs) is set up
    // before the worker says it is ready, which is while the app fetches that document.
    renderWithSVGLibrary(foundation::Data::fromString(warmUpDocument), SVGRenderTarget{{18, 14}, 2});
    if (!writeAll(answers, workerReady, sizeof workerReady - 1)) return 1;
    const std::size_t residentAtStart = residentBytes();

    for (;;) {
        std::uint8_t headerBytes[requestHeaderSize];
        if (!readAll(STDIN_FILENO, headerBytes, sizeof headerBytes)) std::_Exit(0);  // the app is done
        const auto request = decode<RequestHeader>(headerBytes);
        if (request.magic != requestMagic || request.length > largestDocument) std::_Exit(1);
        std::vector<std::uint8_t> bytes(request.length);
        if (!readAll(STDIN_FILENO, bytes.data(), bytes.size())) std::_Exit(0);
        if (!limitCPUForNextDocument(limits)) std::_Exit(0);

        AnswerHeader answer;
        std::shared_ptr<gfx::Image> image;
        try {
            std::optional<SVGRenderTarget> target;
            if (request.hasTarget) target = SVGRenderTarget{{request.width, request.height}, request.scale};
            image = renderWithSVGLibrary(foundation::Data(std::move(bytes)), target);
        } catch (...) {
            // Out of memory, most likely, somewhere that could not clean up after itself: a fresh worker is surer.
            answer.answer = Answer::noImageAndEnding;
        }
        std::vector<std::uint8_t> pixels;
        if (image && image->bitmap() && !image->bitmap()->empty()) {
            const auto& bitmap = *image->bitmap();
            answer.answer = Answer::image;
            answer.width = bitmap.width;
            answer.height = bitmap.height;
            answer.scale = image->scale();
            answer.orientation = static_cast<std::int32_t>(image->orientation());
            pixels.reserve(static_cast<std::size_t>(bitmap.width) * bitmap.height * 4);
            for (int y = 0; y < bitmap.height; ++y) {
                const auto* row = reinterpret_cast<const std::uint8_t*>(bitmap.row(y));
                pixels.insert(pixels.end(), row, row + static_cast<std::size_t>(bitmap.width) * 4);
            }
        }
        image.reset();
        const auto header = encode(answer);
        if (!writeAll(answers, header.data(), header.size()) || !writeAll(answers, pixels.data(), pixels.size()))
            std::_Exit(0);
        if (answer.answer == Answer::noImageAndEnding) std::_Exit(0);
        // A document that grew the worker gives back what it freed before the next one, which may need little.
#if defined(__GLIBC__)
        if (residentBytes() > residentAtStart + (16u << 20)) ::malloc_trim(0);
#else
        (void)residentAtStart;
#endif
    }
}
