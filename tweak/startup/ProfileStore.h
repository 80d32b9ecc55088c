#pragma once
// The settings domain, the per-account files and the values derived from them. The
// preference bundle owns the user-data and app-list files and most keys; this library
// reads them, and writes only the icon-state file and the settings keys of guest mode, the
// panel and the notice. Names and paths are in KavlorSchema.h.

#include "KavlorSchema.h"
#include "NSObjectValues.h"

class HBPreferences;

// The main settings object, made by the main initialiser in the processes it serves,
// and the keys it binds.
extern Id<HBPreferences> mainSettings;
extern bool toggleKavlor;
extern bool hideLSAccount;
extern id adminPasscode;
extern bool showImportantAlert;

// Module-level values, touched only on SpringBoard's main thread.
extern id activeUser;                  // the activeUser key as last read
extern Id<NSDictionary> crntUserData;  // the active account's record as last fetched
extern Id<NSArray> disabledApps;       // the active account's "Disabled" list as last fetched
extern bool isKavlorActive;            // the isKavlorActive flag
extern Id<NSDictionary> timeLimitTable;
extern Id<NSDictionary> dictState;        // the icon-state file as read at load; never changed
extern Id<NSDictionary> mutableDictState; // the working copy that the icon-state hooks update

// The owner is the account named exactly "Admin". The icon-state hooks also count an
// absent or empty name as the owner (a value that is not a string is absent); everything
// else asks for the exact name.
bool isOwnerOrUnset(const id& user);
bool isExactlyOwner(const id& user);

// The activeUser key as stored now; a value that is not a string reads as absent.
id readActiveUser();

// Reads activeUser from the settings, then the user-data file afresh; answers the
// active account's record, or nil. Sets activeUser.
Id<NSDictionary> fetchCrntUserData();
// The "Disabled" list of the account named by activeUser as last stored (the settings
// are not read here), read afresh from the app-list file; or nil.
Id<NSArray> fetchDisabledApps();

// Typed access to a record: a field of the wrong type reads as missing.
bool recordToggle(const Id<NSDictionary>& record, const char* index);
Id<NSString> recordString(const Id<NSDictionary>& record, const char* key);
Id<NSData> recordData(const Id<NSDictionary>& record, const char* key);
// The record's time limit in minutes, looked up in timeLimitTable; nil when the record has
// no LimitedTime or its value is outside the table.
Id<NSNumber> recordTimeLimitMinutes(const Id<NSDictionary>& record);
// Whether a bundle identifier is in the list (nil lists contain nothing).
bool listContains(const Id<NSArray>& list, const id& bundleIdentifier);

// The library's second initialiser: the time-limit table and the icon-state file.
void secondInitialiser();
