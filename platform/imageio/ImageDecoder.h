#pragma once
// Decoding of an image whose format is told by its first bytes, as UIImage does for
// imageWithContentsOfFile: and imageWithData:.

#include "Bitmap.h"

#include <optional>
#include <span>
#include <string>

enum class ImageFormat { unknown, png, jpeg };

ImageFormat sniffImageFormat(std::span<const uint8_t> bytes);

// PNG or JPEG bytes into a Bitmap; nothing, with the reason in *error, for anything else.
std::optional<Bitmap> decodeImage(std::span<const uint8_t> bytes, std::string* error = nullptr);

// Reads and decodes the file at a host path (callers resolve device paths first). The
// reason given on failure names the path.
std::optional<Bitmap> decodeImageFile(const std::string& path, std::string* error = nullptr);
