#include "DeviceServer.h"

#include "HTMLText.h"

#include "ChildProcess.h"
#include "ControlServer.h"
#include "DeviceTrace.h"
#include "EventStream.h"
#include "FolderWatch.h"
#include "PNGEncoder.h"
#include "LocalSocket.h"
#include "MappedFile.h"
#include "NSObjectValues.h"
#include "PropertyList.h"
#include "ScreenChangeSignal.h"
#include "ScreenTiles.h"
#include "SpringBoardLink.h"
#include "Supervisor.h"
#include "TraceFollower.h"

#include <httplib.h>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

constexpr std::size_t kMaxUploadBytes = std::size_t(72) << 20;   // two pictures of kavlorctl's 32 MiB, and the form
constexpr std::size_t kRecentTraceLines = 300;                   // what a page that just connected is shown
constexpr double kFrameSeconds = 1.0 / 60;                       // no two pictures within one display frame...
constexpr double kActionHoldSeconds = 0.1;                       // ...and none of a request's changes half made
constexpr double kRetrySeconds = 0.1;                            // after a picture that could not be had
constexpr double kSignalLookSeconds = 0.2;                       // how soon the signal's waiter sees the server stop
constexpr double kTouchSettleSeconds = 0.5;                      // virtual clock: a touch's transitions end
constexpr auto kStreamStillHere = std::chrono::seconds(10);      // an empty frame tells a page the stream lives
constexpr double kMinPageScale = 0.25, kMaxPageScale = 8;        // pixels a point a page may ask for

std::atomic<bool> g_stopRequested { false };

void stopOnSignal(int)
{
    g_stopRequested = true;
}

std::string randomToken()
{
    std::random_device device;
    std::string token;
    for (int i = 0; i < 4; ++i)
        token += fmt::format("{:08x}", device());
    return token;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::string replaceAll(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

void answer(httplib::Response& response, int status, const Json& body)
{
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    response.set_content(body.dump(), "application/json");
}

void refuse(httplib::Response& response, int status, const std::string& message)
{
    answer(response, status, Json { { "ok", false }, { "error", message } });
}

// What the device is: its kind and size, from the files the simulator wrote.
Json describeDevice(const std::string& root, bool virtualClock)
{
    auto configuration = PropertyList::readDictionaryFile(root + "/var/mobile/Library/kavlor-device.plist");
    auto version = PropertyList::readDictionaryFile(root + "/System/Library/CoreServices/SystemVersion.plist");
    auto text = [](const Id<NSDictionary>& dictionary, const char* key, const std::string& fallback) {
        auto value = dictionary ? dictionary->valueForKey<NSString>(key) : nullptr;
        return value ? value->utf8() : fallback;
    };
    std::string idiom = text(configuration, "idiom", "phone");
    bool pad = idiom == "pad";
    auto number = [&](const char* key, double fallback) {
        auto value = configuration ? configuration->valueForKey<NSNumber>(key) : nullptr;
        return value ? value->doubleValue() : fallback;
    };
    return Json { { "idiom", pad ? "pad" : "phone" }, { "ios", text(version, "ProductVersion", "?") },
        { "width", number("screenWidth", pad ? 1024 : 375) }, { "height", number("screenHeight", pad ? 1366 : 812) },
        { "virtualClock", virtualClock } };
}

class DeviceServer {
public:
    DeviceServer(const ServeOptions& options, Supervisor& supervisor, ScreenChangeSignal& screenChanges)
        : m_options(options)
        , m_supervisor(supervisor)
        , m_screenChanges(screenChanges)
        , m_link(supervisor)
        , m_token(randomToken())
    {
        // The screen's pixels pass through a file here at every picture: in memory when the
        // machine has a memory file system.
        std::string folder = fs::is_directory("/dev/shm") ? "/dev/shm/kavlor-serve-XXXXXX" : "/tmp/kavlor-serve-XXXXXX";
        if (::mkdtemp(folder.data()))
            m_scratch = folder;
        m_device = describeDevice(options.deviceRoot, options.virtualClock);
    }

    ~DeviceServer()
    {
        std::error_code error;
        if (!m_scratch.empty())
            fs::remove_all(m_scratch, error);
    }

    // Binds to 127.0.0.1; answers the port, or 0 with `error` set.
    int bind(std::string& error);
    void serve();
    void stop();

private:
    void routes();
    bool allowedHost(const httplib::Request& request) const;
    bool allowedChange(const httplib::Request& request, httplib::Response& response) const;
    void post(const std::string& path, std::function<Json(const Json& body)> action);
    void watch();
    void listenToSpringBoard();
    bool streamTiles(uint64_t& sent, PageTileSlots& slots, httplib::DataSink& sink);
    std::multiset<double>::iterator openPage(double scale);
    void closePage(std::multiset<double>::iterator page);
    double drawingScale() const;
    bool render();
    bool renderDue(std::chrono::steady_clock::time_point lastRender, bool ready);
    const uint8_t* mappedPixels(const SpringBoardLink::Json& picture, const std::string& path);
    std::string wholePicturePNG(uint64_t& version);
    void announceSpringBoard(const Json& event);
    void somethingChanged();

    // A request that changes the device, from its start to its answer: what it changes is
    // drawn once it is whole, at once. SpringBoard's marks meanwhile are held (a touch on the
    // virtual clock moves through its transitions, whose pictures nobody would see), for at
    // most kActionHoldSeconds.
    class ActionUnderWay {
    public:
        explicit ActionUnderWay(DeviceServer& server);
        ~ActionUnderWay();

    private:
        DeviceServer& m_server;
    };
    std::vector<std::string> greeting() const;
    Json state();
    Json addUser(const httplib::Request& request);
    std::string pagePath(const std::string& name) const { return (fs::path(m_options.webFolder) / name).string(); }

    ServeOptions m_options;
    Supervisor& m_supervisor;
    ScreenChangeSignal& m_screenChanges;
    SpringBoardLink m_link;
    std::string m_token;
    std::string m_scratch;
    Json m_device;
    int m_port = 0;
    httplib::Server m_server;
    EventStream m_events;

    std::thread m_watcher;
    std::thread m_listener;              // waits for SpringBoard's word that its screen changed
    std::atomic<bool> m_stopping { false };
    std::mutex m_wakeMutex;              // guards what follows, the watcher's reasons to look again
    bool m_dirty = true;
    int m_actionsUnderWay = 0;           // requests changing the device, not yet answered
    std::chrono::steady_clock::time_point m_actionStarted;
    bool m_actionEnded = false;          // a request's change is whole: draw it without waiting
    std::condition_variable m_wake;
    double m_lastRenderSeconds = 0;      // how long SpringBoard took to draw the last picture
    MappedFile m_screenFile;             // the pixels SpringBoard draws (the watcher's)

    std::mutex m_wholePictureMutex;      // the whole picture's PNG, made when first asked for
    uint64_t m_wholePictureVersion = 0;
    std::string m_wholePicturePNG;

    mutable std::mutex m_mutex;          // guards what follows
    std::condition_variable m_newPicture;
    ScreenTiles m_tiles;
    Json m_screen;                       // the last "screen" event
    Json m_springBoard;                  // the last "springboard" event
    std::deque<std::string> m_recentTrace;
    std::multiset<double> m_pageScales;  // what each open stream's page shows (0: the device's own)
};

int DeviceServer::bind(std::string& error)
{
    m_server.new_task_queue = [] { return new httplib::ThreadPool(24); };
    m_server.set_payload_max_length(kMaxUploadBytes);
    m_server.set_write_timeout(5, 0);
    routes();
    m_port = m_options.port == 0 ? m_server.bind_to_any_port("127.0.0.1") : (m_server.bind_to_port("127.0.0.1", m_options.port) ? m_options.port : -1);
    if (m_port <= 0) {
        error = fmt::format("cannot listen on 127.0.0.1:{} (is the port taken?)", m_options.port);
        return 0;
    }
    return m_port;
}

void DeviceServer::serve()
{
    m_watcher = std::thread([this] { watch(); });
    m_listener = std::thread([this] { listenToSpringBoard(); });
    m_server.listen_after_bind();
}

void DeviceServer::stop()
{
    m_stopping = true;
    m_wake.notify_all();
    {
        std::lock_guard lock(m_mutex);
        m_newPicture.notify_all();
    }
    m_events.close();
    m_server.stop();
    if (m_watcher.joinable())
        m_watcher.join();
    if (m_listener.joinable())
        m_listener.join();
}

bool DeviceServer::allowedHost(const httplib::Request& request) const
{
    std::string host = request.get_header_value("Host");
    return host == fmt::format("127.0.0.1:{}", m_port) || host == fmt::format("localhost:{}", m_port);
}

bool DeviceServer::allowedChange(const httplib::Request& request, httplib::Response& response) const
{
    if (request.get_header_value("X-Kavlor-Token") != m_token) {
        refuse(response, 403, "this request does not carry the page's token: reload the page");
        return false;
    }
    if (request.has_header("Origin")) {
        std::string origin = request.get_header_value("Origin");
        if (origin != fmt::format("http://127.0.0.1:{}", m_port) && origin != fmt::format("http://localhost:{}", m_port)) {
            refuse(response, 403, fmt::format("requests from {} may not change this device", origin));
            return false;
        }
    }
    return true;
}

void DeviceServer::post(const std::string& path, std::function<Json(const Json& body)> action)
{
    m_server.Post(path, [this, action](const httplib::Request& request, httplib::Response& response) {
        if (!allowedChange(request, response))
            return;
        Json body = request.body.empty() ? Json::object() : Json::parse(request.body, nullptr, false);
        if (body.is_discarded() || !body.is_object())
            return refuse(response, 400, "the request's body is not a JSON object");
        ActionUnderWay underWay(*this);
        try {
            Json result = action(body);
            Json reply { { "ok", true } };
            reply.update(result);
            answer(response, 200, reply);
        } catch (const LinkError& error) {
            refuse(response, 409, error.what());
        } catch (const Json::exception& error) {
            refuse(response, 400, fmt::format("a field of the request is missing or of the wrong kind: {}", error.what()));
        }
    });
}

void DeviceServer::routes()
{
    m_server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        if (allowedHost(request))
            return httplib::Server::HandlerResponse::Unhandled;
        refuse(response, 403, "this server answers only to 127.0.0.1 and localhost");
        return httplib::Server::HandlerResponse::Handled;
    });

    m_server.Get("/", [this](const httplib::Request&, httplib::Response& response) {
        std::string page = readFile(pagePath("index.html"));
        if (page.empty())
            return refuse(response, 500, fmt::format("the page {} cannot be read", pagePath("index.html")));
        page = replaceAll(page, "__KAVLOR_TOKEN__", m_token);
        page = replaceAll(page, "__KAVLOR_DEVICE__", escapedForHTML(m_device.dump()));
        response.set_header("Cache-Control", "no-store");
        // The page runs only its own script and talks only to this server.
        response.set_header("Content-Security-Policy", "default-src 'self'; img-src 'self' blob: data:; style-src 'self'; script-src 'self'; frame-ancestors 'none'");
        response.set_content(page, "text/html; charset=utf-8");
    });
    for (const auto& [name, type] : { std::pair { "app.js", "text/javascript" }, std::pair { "style.css", "text/css" } }) {
        std::string file = name;
        std::string contentType = type;
        m_server.Get("/" + file, [this, file, contentType](const httplib::Request&, httplib::Response& response) {
            response.set_header("Cache-Control", "no-store");
            response.set_content(readFile(pagePath(file)), contentType);
        });
    }
    m_server.Get("/screen.png", [this](const httplib::Request&, httplib::Response& response) {
        uint64_t version = 0;
        std::string png = wholePicturePNG(version);
        if (png.empty())
            return refuse(response, 503, "the screen has not been drawn yet");
        response.set_header("Cache-Control", "no-store");
        response.set_header("X-Kavlor-Screen-Version", std::to_string(version));
        response.set_content(png, "image/png");
    });
    // The tiles that changed since the page's version (every tile for since=0).
    m_server.Get("/screen/tiles", [this](const httplib::Request& request, httplib::Response& response) {
        uint64_t since = std::strtoull(request.get_param_value("since").c_str(), nullptr, 10);
        std::shared_ptr<ScreenTiles::Packed> packed;
        {
            std::lock_guard lock(m_mutex);
            if (!m_tiles.picture())
                return refuse(response, 503, "the screen has not been drawn yet");
            packed = std::make_shared<ScreenTiles::Packed>(m_tiles.packSince(since));
        }
        response.set_header("Cache-Control", "no-store");
        response.set_content_provider(packed->size(), "application/octet-stream",
            [packed](size_t offset, size_t, httplib::DataSink& sink) {
                auto [data, length] = packed->piece(offset);
                return data && sink.write(data, length);
            });
    });
    // The tiles as they change, for as long as the page reads: each new picture's tiles since
    // those the page was sent last, one frame each (4 bytes, big-endian, of length, then the
    // packed tiles; a length of 0 only says the stream lives). Nothing waits in a queue: a
    // page that reads slowly gets fewer frames, each with all that changed meanwhile.
    // A page tells the pixels a point it shows (its devicePixelRatio): the screen is drawn at
    // the finest scale an open page shows, no finer than the device's own, so that a page on
    // an ordinary display is not sent four times the pixels it can show.
    m_server.Get("/screen/stream", [this](const httplib::Request& request, httplib::Response& response) {
        double scale = 0;
        if (request.has_param("scale")) {
            scale = std::strtod(request.get_param_value("scale").c_str(), nullptr);
            if (!(scale >= kMinPageScale && scale <= kMaxPageScale))
                return refuse(response, 400, fmt::format("a page's scale is a number from {} to {}, not \"{}\"", kMinPageScale, kMaxPageScale,
                    request.get_param_value("scale")));
        }
        auto sent = std::make_shared<uint64_t>(std::strtoull(request.get_param_value("since").c_str(), nullptr, 10));
        auto slots = std::make_shared<PageTileSlots>();  // the page keeps its tiles for as long as it reads
        auto page = openPage(scale);
        response.set_header("Cache-Control", "no-store");
        response.set_chunked_content_provider("application/octet-stream",
            [this, sent, slots](size_t, httplib::DataSink& sink) { return streamTiles(*sent, *slots, sink); },
            [this, page](bool) { closePage(page); });
    });
    m_server.Get("/events", [this](const httplib::Request&, httplib::Response& response) {
        auto subscriber = m_events.subscribe(greeting());
        response.set_header("Cache-Control", "no-store");
        response.set_chunked_content_provider("text/event-stream",
            [subscriber](size_t, httplib::DataSink& sink) {
                auto messages = subscriber->next(10);
                if (!messages)
                    return false;  // dropped (too slow), or the server stops
                if (messages->empty())
                    messages->push_back(": still here\n\n");
                for (const auto& message : *messages) {
                    if (!sink.write(message.data(), message.size()))
                        return false;
                }
                return true;
            },
            [this, subscriber](bool) { m_events.unsubscribe(subscriber); });
    });
    m_server.Get("/api/state", [this](const httplib::Request&, httplib::Response& response) {
        try {
            answer(response, 200, state());
        } catch (const LinkError& error) {
            refuse(response, 409, error.what());
        }
    });
    m_server.Get("/api/locate", [this](const httplib::Request& request, httplib::Response& response) {
        try {
            auto reply = m_link.ask(Json { { "command", "locate" }, { "text", request.get_param_value("text") } });
            answer(response, 200, reply ? *reply : Json { { "ok", true }, { "found", false } });
        } catch (const LinkError& error) {
            refuse(response, 409, error.what());
        }
    });

    post("/api/touch", [this](const Json& body) {
        auto reply = m_link.ask(Json { { "command", "touch" }, { "x", body.at("x").get<double>() }, { "y", body.at("y").get<double>() },
            { "taps", body.value("taps", 1) } });
        // On the virtual clock nothing moves by itself: the transitions a touch starts (the
        // panel's 0.15 s delay and 0.3 s fade) are let finish.
        if (m_options.virtualClock)
            m_link.advanceClock(kTouchSettleSeconds);
        return reply ? *reply : Json { { "reached", "respring" } };
    });
    post("/api/unlock", [this](const Json& body) {
        auto reply = m_link.ask(Json { { "command", "unlock" }, { "passcode", body.at("passcode").get<std::string>() } });
        return reply ? Json { { "locked", reply->value("locked", true) } } : Json::object();
    });
    post("/api/home", [this](const Json&) {
        m_link.ask(Json { { "command", "go-home" } });
        return Json::object();
    });
    post("/api/lock", [this](const Json&) {
        m_link.ask(Json { { "command", "lock" } });
        return Json::object();
    });
    post("/api/appearance", [this](const Json& body) {
        std::string style = body.at("style").get<std::string>();
        if (style != "light" && style != "dark")
            throw LinkError(fmt::format("the appearance is light or dark, not \"{}\"", style));
        m_link.ask(Json { { "command", "appearance" }, { "style", style } });
        return Json { { "style", style } };
    });
    post("/api/respring", [this](const Json&) {
        auto result = runChild(m_options.deviceRoot + "/usr/bin/sbreload", {}, 30);
        if (!result.succeeded())
            throw LinkError(fmt::format("sbreload {}: {}", result.describe(), result.err));
        return Json::object();
    });
    post("/api/advance", [this](const Json& body) {
        if (!m_options.virtualClock)
            throw LinkError("the device runs on the real clock: start it with --virtual to move its clock");
        double seconds = 0;
        if (body.value("to", std::string()) == "end") {
            auto left = m_link.countdownSeconds();
            if (!left)
                throw LinkError("no time limit is counting down (the status bar shows no countdown)");
            // The label reads 0:00 for its last second or two: then a second at a time
            // until the countdown is gone (the guest's visit ended with a respring).
            double time = m_link.advanceClock(*left + 1);
            for (int second = 0; second < 5 && m_link.countdownSeconds(); ++second)
                time = m_link.advanceClock(1);
            return Json { { "time", time } };
        } else {
            seconds = body.at("seconds").get<double>();
            if (!(seconds > 0 && seconds <= 4 * 3600))
                throw LinkError(fmt::format("the clock moves forward by 1 second to 4 hours, not {}", seconds));
        }
        return Json { { "time", m_link.advanceClock(seconds) } };
    });
    m_server.Post("/api/users", [this](const httplib::Request& request, httplib::Response& response) {
        if (!allowedChange(request, response))
            return;
        try {
            Json result = addUser(request);
            somethingChanged();
            answer(response, 200, result);
        } catch (const LinkError& error) {
            refuse(response, 400, error.what());
        }
    });
}

Json DeviceServer::addUser(const httplib::Request& request)
{
    auto field = [&](const char* name) { return request.has_file(name) ? request.get_file_value(name).content : std::string(); };
    std::string name = field("name");
    if (name.empty())
        throw LinkError("the guest needs a name");
    // Options first, then "--": a name or passcode that starts with "-" stays a value.
    std::vector<std::string> arguments { "--device", m_options.deviceRoot, "user", "add", "--passcode=" + field("passcode") };
    fs::path folder = fs::path(m_scratch) / fmt::format("upload-{}", randomToken());
    std::error_code error;
    fs::create_directories(folder, error);
    for (const char* picture : { "avatar", "wallpaper" }) {
        if (!request.has_file(picture) || request.get_file_value(picture).content.empty())
            continue;
        fs::path file = folder / picture;
        std::ofstream(file, std::ios::binary) << request.get_file_value(picture).content;
        arguments.push_back(fmt::format("--{}={}", picture, file.string()));
    }
    std::string blocks;
    auto range = request.files.equal_range("block");
    for (auto it = range.first; it != range.second; ++it)
        blocks += (blocks.empty() ? "" : ",") + it->second.content;
    if (!blocks.empty())
        arguments.push_back("--block=" + blocks);
    if (std::string limit = field("timeLimit"); !limit.empty())
        arguments.push_back("--time-limit=" + limit);
    arguments.push_back("--");
    arguments.push_back(name);
    auto added = runChild(m_options.kavlorctlPath, arguments, 60);
    fs::remove_all(folder, error);
    auto trimmed = [](std::string text) { return text.substr(0, text.find_last_not_of('\n') + 1); };
    if (!added.succeeded())
        throw LinkError(added.err.empty() ? fmt::format("kavlorctl {}", added.describe()) : trimmed(added.err));
    std::string said = trimmed(added.out);
    std::istringstream apps(field("disabledApps"));
    std::vector<std::string> bundleIdentifiers;
    for (std::string word; apps >> word;)
        bundleIdentifiers.push_back(word);
    if (!bundleIdentifiers.empty()) {
        std::vector<std::string> disable { "--device", m_options.deviceRoot, "apps", "disable", "--", name };
        disable.insert(disable.end(), bundleIdentifiers.begin(), bundleIdentifiers.end());
        auto disabled = runChild(m_options.kavlorctlPath, disable, 60);
        if (!disabled.succeeded())
            throw LinkError(fmt::format("added the guest, but not the disabled apps: {}", trimmed(disabled.err)));
        said += "\n" + trimmed(disabled.out);
    }
    return Json { { "ok", true }, { "said", said } };
}

Json DeviceServer::state()
{
    auto run = [this](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), { "--device", m_options.deviceRoot });
        auto result = runChild(m_options.kavlorctlPath, arguments, 30);
        return result.out.empty() ? result.err : result.out;
    };
    Json result { { "ok", true }, { "device", m_device }, { "settings", run({ "get" }) }, { "accounts", run({ "user", "list" }) } };
    if (auto locked = m_link.ask(Json { { "command", "lock-state" } }, 5))
        result["locked"] = locked->value("locked", true);
    if (auto ping = m_link.ask(Json { { "command", "ping" } }, 5)) {
        result["time"] = ping->value("time", 0.0);
        result["pid"] = ping->value("pid", 0);
    }
    return result;
}

std::vector<std::string> DeviceServer::greeting() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> messages;
    for (const auto& line : m_recentTrace)
        messages.push_back(EventStream::frame("trace", line));
    if (!m_springBoard.is_null())
        messages.push_back(EventStream::frame("springboard", m_springBoard.dump()));
    if (!m_screen.is_null())
        messages.push_back(EventStream::frame("screen", m_screen.dump()));
    return messages;
}

DeviceServer::ActionUnderWay::ActionUnderWay(DeviceServer& server)
    : m_server(server)
{
    std::lock_guard lock(m_server.m_wakeMutex);
    ++m_server.m_actionsUnderWay;
    m_server.m_actionStarted = std::chrono::steady_clock::now();
}

DeviceServer::ActionUnderWay::~ActionUnderWay()
{
    {
        std::lock_guard lock(m_server.m_wakeMutex);
        --m_server.m_actionsUnderWay;
        m_server.m_dirty = true;
        m_server.m_actionEnded = true;
    }
    m_server.m_wake.notify_all();
}

void DeviceServer::somethingChanged()
{
    {
        std::lock_guard lock(m_wakeMutex);
        m_dirty = true;
    }
    m_wake.notify_all();
}

// SpringBoard tells, at most once a turn of its run loop, that what its screen shows changed
// (a label's text, a view shown, the clock's minute…): the watcher draws at once.
void DeviceServer::listenToSpringBoard()
{
    while (!m_stopping) {
        if (m_screenChanges.wait(kSignalLookSeconds))
            somethingChanged();
    }
}

std::multiset<double>::iterator DeviceServer::openPage(double scale)
{
    std::multiset<double>::iterator page;
    {
        std::lock_guard lock(m_mutex);
        page = m_pageScales.insert(scale);
    }
    somethingChanged();  // the first picture at a new scale
    return page;
}

void DeviceServer::closePage(std::multiset<double>::iterator page)
{
    {
        std::lock_guard lock(m_mutex);
        m_pageScales.erase(page);
    }
    somethingChanged();
}

// The scale the screen is drawn at: the finest an open page shows; the device's own (0) when
// one asks for it or none is open.
double DeviceServer::drawingScale() const
{
    std::lock_guard lock(m_mutex);
    if (m_pageScales.empty() || *m_pageScales.begin() == 0)
        return 0;
    return *m_pageScales.rbegin();
}

// Waits for a picture the page was not sent (or a while), then writes its frame. Answers
// whether the stream goes on.
bool DeviceServer::streamTiles(uint64_t& sent, PageTileSlots& slots, httplib::DataSink& sink)
{
    std::shared_ptr<ScreenTiles::Packed> packed;
    {
        std::unique_lock lock(m_mutex);
        m_newPicture.wait_for(lock, kStreamStillHere, [&] { return m_stopping || (m_tiles.picture() && m_tiles.version() != sent); });
        if (m_stopping)
            return false;
        if (m_tiles.picture() && m_tiles.version() != sent) {
            packed = std::make_shared<ScreenTiles::Packed>(m_tiles.packSince(sent, &slots));
            sent = m_tiles.version();
        }
    }
    uint32_t length = packed ? static_cast<uint32_t>(packed->size()) : 0;
    const char head[4] = { char(length >> 24), char(length >> 16), char(length >> 8), char(length) };
    if (!sink.write(head, sizeof head))
        return false;
    for (size_t offset = 0; offset < length;) {
        auto [data, size] = packed->piece(offset);
        if (!data || !sink.write(data, size))
            return false;
        offset += size;
    }
    return true;
}

// The watcher: the trace's new lines, SpringBoard going and coming back, and a new picture
// of the screen when something may have changed.
void DeviceServer::watch()
{
    TraceFollower trace(m_options.deviceRoot + "/var/log/kavlor-trace.jsonl", true);
    FolderWatch traceGrowth(m_options.deviceRoot + "/var/log", [this] { somethingChanged(); });
    auto lastRender = std::chrono::steady_clock::now() - std::chrono::seconds(10);
    pid_t shownPid = 0;
    bool wasReady = false;
    while (!m_stopping) {
        for (const auto& event : trace.readNew()) {
            std::string line = event.dump();
            {
                std::lock_guard lock(m_mutex);
                m_recentTrace.push_back(line);
                if (m_recentTrace.size() > kRecentTraceLines)
                    m_recentTrace.pop_front();
            }
            m_events.publish("trace", line);
            somethingChanged();
        }
        auto status = m_supervisor.status();
        bool ready = status.ready && !status.respringInFlight && status.pid != 0;
        if (ready != wasReady || (ready && status.pid != shownPid)) {
            // A respring quicker than one look still shows SpringBoard going away first.
            if (ready && wasReady)
                announceSpringBoard(Json { { "state", "restarting" }, { "pid", shownPid } });
            announceSpringBoard(Json { { "state", ready ? "ready" : "restarting" }, { "pid", ready ? status.pid : shownPid } });
            if (ready) {
                shownPid = status.pid;
                // The new SpringBoard's first picture waits for nothing: not for the pause
                // after the last picture, nor after a picture its predecessor could not give.
                lastRender = std::chrono::steady_clock::now() - std::chrono::seconds(10);
                m_lastRenderSeconds = 0;
            }
            wasReady = ready;
            somethingChanged();
        }
        if (renderDue(lastRender, ready)) {
            auto started = std::chrono::steady_clock::now();
            bool drawn = render();
            lastRender = std::chrono::steady_clock::now();
            // A picture that could not be had (SpringBoard going away) is asked for again,
            // but not at every frame.
            m_lastRenderSeconds = drawn ? std::chrono::duration<double>(lastRender - started).count() : kRetrySeconds;
        }
        // Woken at once by a request that changed something or by the trace's growth; else
        // SpringBoard's state is looked at again soon.
        std::unique_lock lock(m_wakeMutex);
        m_wake.wait_for(lock, std::chrono::milliseconds(50), [this] { return (m_dirty && m_actionsUnderWay == 0) || m_stopping; });
    }
}

// A picture is drawn when something may have changed, but not within one display frame of
// the last picture's end, nor sooner after it than it took: while changes keep coming,
// SpringBoard spends at most half its time drawing for the page. The end of a person's
// request is drawn at once: it comes at a person's pace, and is what the page waits for;
// while a request is under way, nothing is drawn (for a while). A safety net draws now and
// then even without news: SpringBoard's drawing also reads files other programs write (the
// wallpapers murvex and kavlorctl save), which no mark of SpringBoard's tells.
bool DeviceServer::renderDue(std::chrono::steady_clock::time_point lastRender, bool ready)
{
    double sinceRender = std::chrono::duration<double>(std::chrono::steady_clock::now() - lastRender).count();
    double gap = std::max(kFrameSeconds, m_lastRenderSeconds);
    std::unique_lock lock(m_wakeMutex);
    bool due = m_dirty || (m_options.safetyRedrawSeconds > 0 && sinceRender >= m_options.safetyRedrawSeconds);
    bool held = m_actionsUnderWay > 0 && std::chrono::steady_clock::now() - m_actionStarted < std::chrono::duration<double>(kActionHoldSeconds);
    if (!ready || !due || held)
        return false;
    if (sinceRender < gap && !m_actionEnded) {
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::duration<double>(gap - sinceRender));
        lock.lock();
    }
    m_dirty = false;
    m_actionEnded = false;
    return true;
}

void DeviceServer::announceSpringBoard(const Json& event)
{
    {
        std::lock_guard lock(m_mutex);
        m_springBoard = event;
    }
    m_events.publish("springboard", event.dump());
}

// SpringBoard draws its screen straight into a file both map; only the tiles that differ
// from the last picture are copied, and the pages hear of the new version. Answers whether
// there was a picture.
bool DeviceServer::render()
{
    std::string path = m_scratch + "/screen.bgra";
    Json asked { { "command", "screenshot" }, { "path", path }, { "format", "bgra" } };
    if (double scale = drawingScale(); scale > 0)
        asked["scale"] = scale;
    auto picture = ControlClient::request(LocalSocket::nameFor("springboard"), asked, 5);
    const uint8_t* pixels = picture.ok() ? mappedPixels(picture.reply, path) : nullptr;
    if (!pixels) {
        somethingChanged();  // SpringBoard went away meanwhile: draw its successor
        return false;
    }
    std::lock_guard lock(m_mutex);
    bool locked = picture.reply.value("locked", true);
    size_t changed = m_tiles.update({ pixels, picture.reply.value("width", 0u), picture.reply.value("height", 0u) }, m_tiles.version() + 1);
    if (changed == 0 && !m_screen.is_null() && m_screen.value("locked", true) == locked)
        return true;
    m_screen = Json { { "version", m_tiles.version() }, { "width", picture.reply.value("width", 0) }, { "height", picture.reply.value("height", 0) },
        { "scale", picture.reply.value("scale", 1.0) }, { "locked", locked }, { "tiles", changed } };
    m_events.publish("screen", m_screen.dump());
    m_newPicture.notify_all();
    return true;
}

// The pixels SpringBoard drew, when the file holds the whole picture its answer describes.
const uint8_t* DeviceServer::mappedPixels(const SpringBoardLink::Json& picture, const std::string& path)
{
    uint64_t width = picture.value("width", 0), height = picture.value("height", 0);
    if (!Bitmap::isAcceptableSize(width, height))
        return nullptr;
    std::string error;
    return m_screenFile.map(path, width * height * Bitmap::bytesPerPixel, MappedFile::Access::Read, error);
}

// The whole picture as one PNG, for /screen.png: encoded when first asked for after a change
// (the page itself never needs it), outside the lock the watcher takes.
std::string DeviceServer::wholePicturePNG(uint64_t& version)
{
    std::shared_ptr<const Bitmap> picture;
    {
        std::lock_guard lock(m_mutex);
        picture = m_tiles.picture();
        version = m_tiles.version();
    }
    if (!picture)
        return {};
    std::lock_guard lock(m_wholePictureMutex);
    if (m_wholePictureVersion != version) {
        std::vector<uint8_t> png = encodePNG(*picture);
        m_wholePicturePNG.assign(png.begin(), png.end());
        m_wholePictureVersion = version;
    }
    return m_wholePicturePNG;
}

} // namespace

int runServe(const ServeOptions& options, std::ostream& out, std::ostream& err)
{
    ::setenv("KAVLOR_DEVICE_ROOT", options.deviceRoot.c_str(), 1);
    DeviceTrace::install("kavlor-sim");
    std::optional<ScreenChangeSignal> screenChanges;
    try {
        screenChanges.emplace();
    } catch (const DeviceError& error) {
        err << "kavlor-sim serve: " << error.what() << "\n";
        return 1;
    }
    Supervisor::Options supervision;
    supervision.virtualClock = options.virtualClock;
    supervision.screenChangesFd = screenChanges->fd();
    Supervisor supervisor(supervision);
    try {
        supervisor.start();
    } catch (const DeviceError& error) {
        err << fmt::format("kavlor-sim serve: the device {} did not boot: {}\n", options.deviceRoot, error.what());
        return 1;
    }
    std::string error;
    DeviceServer server(options, supervisor, *screenChanges);
    int port = server.bind(error);
    if (port == 0) {
        err << "kavlor-sim serve: " << error << "\n";
        supervisor.shutdown();
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = stopOnSignal;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    out << fmt::format("kavlor-sim serve: the device {} ({} clock) is at http://127.0.0.1:{}/ ; Ctrl-C stops it", options.deviceRoot,
               options.virtualClock ? "virtual" : "real", port)
        << std::endl;
    std::thread serving([&server] { server.serve(); });
    while (!g_stopRequested)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    server.stop();
    serving.join();
    supervisor.shutdown();
    out << "kavlor-sim serve: stopped" << std::endl;
    return 0;
}
