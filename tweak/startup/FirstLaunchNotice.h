#pragma once
// The compatibility notice shown after SpringBoard finishes launching until the user has
// confirmed it once ("Okay" stores showImportantAlert NO).

#include "NSObjectValues.h"

// The notice's message, kept as UTF-16 text for its typographic quotation marks.
Id<NSString> firstLaunchNoticeMessage();
