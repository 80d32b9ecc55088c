#include "PlistDocument.h"

#include "DeviceRoot.h"
#include "FileSystem.h"
#include "KavlorctlError.h"
#include "Trace.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fmt/format.h>
#include <limits>

static bool isBinaryPropertyList(const std::vector<uint8_t>& bytes)
{
    static constexpr std::string_view magic = "bplist";
    return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
}

static std::string parentFolder(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

PlistDocument::PlistDocument(std::string path, std::string description, Id<NSDictionary> root, PropertyList::Format format,
    std::optional<FileIdentity> identity, std::size_t size)
    : m_path(std::move(path))
    , m_description(std::move(description))
    , m_root(std::move(root))
    , m_format(format)
    , m_identity(identity)
    , m_size(size)
{
}

PlistDocument PlistDocument::load(std::string path, std::string description)
{
    if (!FileSystem::fileExists(path))
        return PlistDocument(std::move(path), std::move(description), NSDictionary::mutableDictionary(), PropertyList::Format::Binary,
            std::nullopt, 0);

    errno = 0;
    FileIdentity identity;
    auto bytes = FileSystem::readFile(path, std::numeric_limits<std::size_t>::max(), &identity);
    if (!bytes)
        throw KavlorctlError(fmt::format("cannot read the {} {}: {}", description, devicePath(path),
            errno ? std::strerror(errno) : "not a regular file"));
    auto root = PropertyList::read(*bytes).as<NSDictionary>();
    if (!root)
        throw KavlorctlError(fmt::format("the {} {} is not a property list with a dictionary at its root; "
                                         "nothing was changed (fix or remove it)",
            description, devicePath(path)));
    auto format = isBinaryPropertyList(*bytes) ? PropertyList::Format::Binary : PropertyList::Format::XML;
    return PlistDocument(std::move(path), std::move(description), root->mutableCopy(), format, identity, bytes->size());
}

std::string PlistDocument::hostPath() const
{
    return devicePath(m_path);
}

void PlistDocument::save()
{
    auto bytes = PropertyList::serialize(m_root, m_format);
    if (bytes.empty())
        throw KavlorctlError(fmt::format("cannot write the {} {}: the data is not a property list", m_description, hostPath()));
    std::size_t limit = PropertyList::maximumFileSize();
    if (bytes.size() > limit)
        throw KavlorctlError(fmt::format("the {} {} would grow to {} bytes, past the {} bytes SpringBoard reads "
                                         "(it holds {} bytes now); nothing was changed",
            m_description, hostPath(), bytes.size(), limit, m_size));
    errno = 0;
    bool written = FileSystem::createDirectories(parentFolder(m_path)) && FileSystem::writeFile(m_path, bytes, /* atomically */ true);
    if (!written)
        throw KavlorctlError(fmt::format("cannot write the {} {}: {}", m_description, hostPath(),
            errno ? std::strerror(errno) : "unknown error"));
    m_identity = FileIdentity::ofPath(m_path);
    Trace::emit("file-write", { { "path", m_path }, { "by", "kavlorctl" }, { "what", m_description } });
}
