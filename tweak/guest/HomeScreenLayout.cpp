// The owner's icon layout kept in the icon-state file, and the guest's wallpaper behind the home screen.

#include "HomeScreenLayout.h"

#include "CoreGraphics.h"
#include "Hook.h"
#include "ProfileStore.h"
#include "SystemLog.h"

using namespace KavlorSchema;

IconStateAnswer iconStateAnswer(const id& activeUser, bool copyKept)
{
    if (!isOwnerOrUnset(activeUser))
        return IconStateAnswer::Loaded;
    return copyKept ? IconStateAnswer::StoredCopy : IconStateAnswer::LoadedAndKept;
}

bool iconStateSaveKeepsCopy(const id& activeUser)
{
    return isOwnerOrUnset(activeUser);
}

bool showsGuestWallpaper(bool guestModeActive, const id& activeUser)
{
    return guestModeActive || !isExactlyOwner(activeUser);
}

namespace {

// The working copy of the icon-state file; the second initialiser made it at load.
NSDictionary& workingCopy()
{
    if (!mutableDictState)
        mutableDictState = NSDictionary::mutableDictionary();
    return *mutableDictState;
}

// The owner's layout in the working copy of the icon-state file, and the whole file written
// back at once (write aside, rename). Storing nil removes the copy.
void keepOwnerLayout(const id& state)
{
    workingCopy().setObject(state, kIconStateKey);
    workingCopy().writeToFile(kIconStatePath, true);
}

KAVLOR_HOOK(loadIconState) = replace({ 6, HookGroup::Base, "SBDefaultIconModelStore", "loadCurrentIconState:" },
    [](const Previous<id(id*)>& previous, id self, SEL _cmd, id* error) -> id {
        id loaded = previous(self, _cmd, error);
        activeUser = readActiveUser();
        NSLog("aaaaaaaaaa loadCurrentIconState activeUser:-%@", activeUser);
        id copy = workingCopy().objectForKey(kIconStateKey);
        switch (iconStateAnswer(activeUser, copy != nil)) {
        case IconStateAnswer::Loaded:
            return loaded;
        case IconStateAnswer::StoredCopy:
            NSLog("aaaaaaaaaa gotTrue.......");
            return copy;
        case IconStateAnswer::LoadedAndKept:
            keepOwnerLayout(loaded);
            return loaded;
        }
        return loaded;
    });

// The copy is written before SpringBoard's own save, which runs whatever became of it.
KAVLOR_HOOK(saveIconState) = replace({ 7, HookGroup::Base, "SBDefaultIconModelStore", "saveCurrentIconState:error:" },
    [](const Previous<bool(id, id*)>& previous, id self, SEL _cmd, id state, id* error) -> bool {
        activeUser = readActiveUser();
        NSLog("aaaaaaaaaa activeUser saveCurrentIconState:-%@", activeUser);
        if (iconStateSaveKeepsCopy(activeUser))
            keepOwnerLayout(state);
        return previous(self, _cmd, state, error);
    });

// Where the controller keeps the wallpaper view it was last given.
constexpr char kWallpaperViewKey = 0;

// Behind everything in the icon controller's view, the active account's wallpaper. The
// view of an earlier appearance makes way for the new one, so the view tree does not grow
// with each appearance.
void putGuestWallpaper(const id& iconController)
{
    id view = send<id>(iconController, "view");
    id wallpaperView = send<id>(send<id>(objc_getClass("UIImageView"), "alloc"), "initWithFrame:", send<CGRect>(view, "bounds"));
    crntUserData = fetchCrntUserData();
    id image = send<id>(objc_getClass("UIImage"), "imageWithData:", id(recordData(crntUserData, RecordKey::wallPaperData)));
    send(wallpaperView, "setImage:", image);
    send(wallpaperView, "setClipsToBounds:", true);
    send(objc_getAssociatedObject(iconController, &kWallpaperViewKey), "removeFromSuperview");
    send(view, "insertSubview:atIndex:", wallpaperView, 0LL);
    objc_setAssociatedObject(iconController, &kWallpaperViewKey, wallpaperView, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    NSLog("xxxxxxxxxxxxx wallpaperView.image:-%@ crntUserData:-%@", send<id>(wallpaperView, "image"), crntUserData);
    send(send<id>(iconController, "model"), "layout");
}

KAVLOR_HOOK(iconControllerWillAppear) = replace({ 8, HookGroup::Base, "SBIconController", "viewWillAppear:" },
    [](const Previous<void(bool)>& previous, id self, SEL _cmd, bool animated) {
        previous(self, _cmd, animated);
        if (showsGuestWallpaper(isKavlorActive, activeUser))
            putGuestWallpaper(self);
    });

} // namespace
