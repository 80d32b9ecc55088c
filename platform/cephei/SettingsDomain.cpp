#include "SettingsDomain.h"

#include "CFNotificationCenter.h"
#include "HBPreferences.h"
#include "RunLoop.h"
#include "Trace.h"

#include <algorithm>
#include <fmt/format.h>
#include <map>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

void domainChanged(CFNotificationCenterRef, void* observer, CFStringRef, const void*, CFDictionaryRef)
{
    static_cast<SettingsDomain*>(observer)->reloadBindings();
}

// Whether the calling thread is the process's main thread, the one that runs the main
// run loop and so the only one that may write bound variables.
bool isMainThread()
{
    return static_cast<pid_t>(::syscall(SYS_gettid)) == ::getpid();
}

} // namespace

SettingsDomain& SettingsDomain::named(const std::string& identifier)
{
    // Never destroyed: observers registered with the notification centre point at these.
    static auto* mutex = new std::mutex;
    static auto* domains = new std::map<std::string, SettingsDomain*>;
    std::lock_guard lock(*mutex);
    auto found = domains->find(identifier);
    if (found != domains->end())
        return *found->second;
    auto* domain = new SettingsDomain(identifier);
    domains->emplace(identifier, domain);
    return *domain;
}

std::string SettingsDomain::changeNotificationName(std::string_view identifier) { return fmt::format("{}/ReloadPrefs", identifier); }

SettingsDomain::SettingsDomain(std::string identifier) : m_file(std::move(identifier)) { }

void SettingsDomain::attach(HBPreferences* object)
{
    std::lock_guard lock(m_mutex);
    m_objects.push_back(object);
}

void SettingsDomain::detach(HBPreferences* object)
{
    std::lock_guard lock(m_mutex);
    std::erase(m_objects, object);
}

// Booleans read YES or NO in the trace, so a switch is not mistaken for the number 1.
static std::string traceText(const id& value)
{
    auto number = value.as<NSNumber>();
    if (number && number->kind() == NSNumber::Kind::Boolean)
        return number->boolValue() ? "YES" : "NO";
    return describe(value);
}

bool SettingsDomain::write(std::string_view key, const id& value)
{
    Id<NSDictionary> written = m_file.update(key, value);
    if (!written)
        return false;
    Trace::emit("settings-write", { { "domain", identifier() }, { "key", std::string(key) }, { "value", traceText(value) } });
    if (isMainThread())
        applyToBindings(written);
    else
        RunLoop::main().enqueue([this] { reloadBindings(); });
    postChangeNotification();
    return true;
}

void SettingsDomain::reloadBindings()
{
    // Read under the lock, so that a binding registered meanwhile can never be given an
    // older value after it was filled with a newer one.
    std::lock_guard lock(m_mutex);
    Id<NSDictionary> settings = m_file.read();
    for (HBPreferences* object : m_objects)
        object->applySettings(*settings);
}

void SettingsDomain::applyToBindings(const Id<NSDictionary>& settings)
{
    std::lock_guard lock(m_mutex);
    for (HBPreferences* object : m_objects)
        object->applySettings(*settings);
}

void SettingsDomain::observeChanges()
{
    std::call_once(m_observing, [this] {
        // Coalesced: one re-read answers any number of changes that arrived together.
        CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), this, domainChanged,
            changeNotificationName(identifier()).c_str(), nullptr, CFNotificationSuspensionBehaviorCoalesce);
    });
}

void SettingsDomain::postChangeNotification() const
{
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), changeNotificationName(identifier()).c_str(),
        nullptr, nullptr, true);
}
