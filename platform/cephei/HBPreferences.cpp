#include "HBPreferences.h"

#include "Trace.h"

#include "SettingsDomain.h"

#include <fmt/format.h>

namespace {

void complain(const std::string& message)
{
    fmt::print(stderr, "HBPreferences: {}\n", message);
}

// Keys and identifiers arrive from message sends as NSString; nil or another class is a
// caller's mistake that reads as nothing and writes nothing.
std::optional<std::string> stringArgument(const id& value, const char* selector, const char* what)
{
    if (auto string = value.as<NSString>())
        return string->utf8();
    complain(fmt::format("{} needs a string {}, got {}", selector, what, value ? object_getClassName(value) : "nil"));
    return std::nullopt;
}

Class registerClass()
{
    if (Class existing = objc_getClass("HBPreferences"))
        return existing;
    ClassBuilder builder("HBPreferences", NSObjectClass());
    // The class belongs to a package installed on the device, not to the tweak: it stays
    // registered when a test gives itself a fresh runtime.
    builder.permanent().instancesOf<HBPreferences>();
    builder
        .classMethod("preferencesForIdentifier:",
            [](id, SEL, id identifier) -> id {
                auto name = stringArgument(identifier, "preferencesForIdentifier:", "identifier");
                return name ? id(HBPreferences::preferencesForIdentifier(*name)) : nil;
            })
        .method("initWithIdentifier:",
            [](id self, SEL, id identifier) -> id {
                auto name = stringArgument(identifier, "initWithIdentifier:", "identifier");
                return name ? id(self.as<HBPreferences>()->initWithIdentifier(*name)) : nil;
            })
        .method("identifier", [](id self, SEL) -> id { return NSString::string(self.as<HBPreferences>()->identifier()); })
        .method("registerBool:default:forKey:",
            [](id self, SEL, bool* variable, bool defaultValue, id key) {
                if (auto name = stringArgument(key, "registerBool:default:forKey:", "key"))
                    self.as<HBPreferences>()->registerBool(variable, defaultValue, *name);
            })
        .method("registerObject:default:forKey:",
            [](id self, SEL, id* variable, id defaultValue, id key) {
                if (auto name = stringArgument(key, "registerObject:default:forKey:", "key"))
                    self.as<HBPreferences>()->registerObject(variable, defaultValue, *name);
            })
        .method("boolForKey:",
            [](id self, SEL, id key) -> bool {
                auto name = stringArgument(key, "boolForKey:", "key");
                return name && self.as<HBPreferences>()->boolForKey(*name);
            })
        .method("objectForKey:",
            [](id self, SEL, id key) -> id {
                auto name = stringArgument(key, "objectForKey:", "key");
                return name ? self.as<HBPreferences>()->objectForKey(*name) : nil;
            })
        .method("setObject:forKey:",
            [](id self, SEL, id value, id key) {
                if (auto name = stringArgument(key, "setObject:forKey:", "key"))
                    self.as<HBPreferences>()->setObject(value, *name);
            })
        .method("setBool:forKey:",
            [](id self, SEL, bool value, id key) {
                if (auto name = stringArgument(key, "setBool:forKey:", "key"))
                    self.as<HBPreferences>()->setBool(value, *name);
            })
        .method("removeObjectForKey:",
            [](id self, SEL, id key) {
                if (auto name = stringArgument(key, "removeObjectForKey:", "key"))
                    self.as<HBPreferences>()->removeObjectForKey(*name);
            })
        .method("dictionaryRepresentation", [](id self, SEL) -> id { return self.as<HBPreferences>()->dictionaryRepresentation(); });
    return builder.get();
}

} // namespace

HBPreferences::HBPreferences() : objc_object(cls()) { }

HBPreferences::~HBPreferences()
{
    if (m_domain)
        m_domain->detach(this);
}

Class HBPreferences::cls()
{
    static Class cls = registerClass();
    return cls;
}

// Registered when the library loads, as the class is on a device once Cephei is loaded.
static const Class registeredAtLoad = HBPreferences::cls();

Id<HBPreferences> HBPreferences::alloc() { return make<HBPreferences>(); }

Id<HBPreferences> HBPreferences::preferencesForIdentifier(std::string_view identifier)
{
    return alloc()->initWithIdentifier(identifier);
}

Id<HBPreferences> HBPreferences::initWithIdentifier(std::string_view identifier)
{
    if (m_domain) {
        complain(fmt::format("initWithIdentifier: {} sent to an object already made for {}; it keeps its domain", identifier,
            m_domain->identifier()));
        return Id<HBPreferences>(this);
    }
    if (!SettingsFile::isValidIdentifier(identifier)) {
        complain(fmt::format("\"{}\" cannot name a settings domain (it must be non-empty and contain no '/')", identifier));
        return nullptr;
    }
    m_domain = &SettingsDomain::named(std::string(identifier));
    m_domain->attach(this);
    return Id<HBPreferences>(this);
}

std::string HBPreferences::identifier() const { return m_domain ? m_domain->identifier() : std::string(); }

bool HBPreferences::booleanFromStored(const id& stored, bool absentValue)
{
    if (auto number = stored.as<NSNumber>())
        return number->boolValue();
    return absentValue;
}

// Who binds which key, in what order, is how a watcher sees a tweak's settings objects made.
void HBPreferences::traceBinding(std::string_view key) const
{
    Trace::emit("settings-bind", { { "domain", identifier() }, { "key", std::string(key) } });
}

void HBPreferences::registerBool(bool* variable, bool defaultValue, std::string_view key)
{
    if (!variable) {
        complain(fmt::format("registerBool:default:forKey: {} was given no variable", key));
        return;
    }
    traceBinding(key);
    if (!m_domain) {
        *variable = defaultValue;
        return;
    }
    m_domain->observeChanges();
    m_domain->withObjectsLocked([&] {
        m_boolBindings.push_back({ variable, defaultValue, std::string(key) });
        *variable = booleanFromStored(m_domain->file().read()->objectForKey(key), defaultValue);
    });
}

void HBPreferences::registerObject(id* variable, const id& defaultValue, std::string_view key)
{
    if (!variable) {
        complain(fmt::format("registerObject:default:forKey: {} was given no variable", key));
        return;
    }
    traceBinding(key);
    if (!m_domain) {
        *variable = defaultValue;
        return;
    }
    m_domain->observeChanges();
    m_domain->withObjectsLocked([&] {
        m_objectBindings.push_back({ variable, defaultValue, std::string(key) });
        id stored = m_domain->file().read()->objectForKey(key);
        *variable = stored ? stored : defaultValue;
    });
}

void HBPreferences::applySettings(const NSDictionary& settings)
{
    for (const BoolBinding& binding : m_boolBindings)
        *binding.variable = booleanFromStored(settings.objectForKey(binding.key), binding.defaultValue);
    for (const ObjectBinding& binding : m_objectBindings) {
        id stored = settings.objectForKey(binding.key);
        *binding.variable = stored ? stored : binding.defaultValue;
    }
}

bool HBPreferences::boolForKey(std::string_view key) const { return booleanFromStored(objectForKey(key), false); }

id HBPreferences::objectForKey(std::string_view key) const
{
    return m_domain ? m_domain->file().read()->objectForKey(key) : nil;
}

Id<NSDictionary> HBPreferences::dictionaryRepresentation() const
{
    return m_domain ? m_domain->file().read() : NSDictionary::dictionary();
}

void HBPreferences::setObject(const id& value, std::string_view key) { write(key, value); }

void HBPreferences::setBool(bool value, std::string_view key) { write(key, NSNumber::numberWithBool(value)); }

void HBPreferences::removeObjectForKey(std::string_view key) { write(key, nil); }

bool HBPreferences::write(std::string_view key, const id& value)
{
    if (!m_domain) {
        complain(fmt::format("{} was not written: the settings object was never given a domain (initWithIdentifier:)", key));
        return false;
    }
    return m_domain->write(key, value);
}
