#pragma once
// Everything the image layer offers, for code that wants all of it.

#include "Bitmap.h"
#include "ImageDecoder.h"
#include "JPEGCodec.h"
#include "PNGDecoder.h"
#include "PNGEncoder.h"
