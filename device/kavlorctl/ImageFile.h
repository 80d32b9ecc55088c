#pragma once
// The pictures a user hands to `user add` (avatar, wallpaper): host files, read whole and
// checked by their headers (a sound PNG or JPEG header, a size the decoders accept), so
// that a record never carries bytes the library's UIImage would refuse outright.

#include <cstdint>
#include <string>
#include <vector>

namespace ImageFile {

// The record holds the picture itself and the library reads the whole user-data file at
// every lookup, so pictures are kept to a size a phone's photo or screenshot has.
inline constexpr std::uintmax_t kMaxImageFileBytes = 32u << 20;

// The file's bytes when their header is that of a usable PNG or JPEG picture. Throws KavlorctlError
// naming `role` ("avatar", "wallpaper") and the path when the file cannot be read, is not
// a regular file (a device or pipe would be read for ever), is too large, or is not such
// a picture.
std::vector<uint8_t> readImage(const std::string& hostPath, const std::string& role);

} // namespace ImageFile
