#pragma once
// SBDefaultIconModelStore: SpringBoard's own storage of the home-screen layout, the
// property list "/var/mobile/Library/SpringBoard/IconState.plist" in the device root:
// a dictionary with "buttonBar" (the dock: an array of entries) and "iconLists" (the
// pages: an array of arrays of entries); an entry is an app's bundle identifier or a
// folder's dictionary.
//
//   loadCurrentIconState:         "@@:^@"  the file's dictionary; nil when it is missing
//                                          or not a dictionary, the error out-parameter
//                                          (when given) then set to an NSString telling
//                                          what went wrong (there is no NSError here)
//   saveCurrentIconState:error:   "B@:@^@" writes the dictionary (atomically, XML);
//                                          NO with the error set when the state is not a
//                                          dictionary or the file cannot be written
//
// Each emits the Trace event "icon-state-load" or "icon-state-save" {path, result}.

#include "ClassBuilder.h"

#include <string>

class SBDefaultIconModelStore : public objc_object {
public:
    static constexpr const char* defaultPath = "/var/mobile/Library/SpringBoard/IconState.plist";

    static void declare(ClassBuilder&, int iosMajor);

    const std::string& path() const { return m_path; }
    id load(id* error) const;
    bool save(const id& state, id* error) const;

private:
    std::string m_path { defaultPath };
};
