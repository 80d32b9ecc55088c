// The compatibility notice shown after SpringBoard finishes launching, until confirmed.

#include "Block.h"
#include "FirstLaunchNotice.h"
#include "HBPreferences.h"
#include "Hook.h"
#include "ProfileStore.h"

namespace {

constexpr const char* kNoticeTitle = "IMPORTANT NOTE!";
constexpr const char* kOkayTitle = "Okay";
constexpr long long kAlertStyle = 1;   // UIAlertControllerStyleAlert
constexpr long long kDefaultAction = 0; // UIAlertActionStyleDefault

// Confirming the notice once is enough: it is not shown at the following launches.
void confirmNotice()
{
    if (mainSettings)
        mainSettings->setObject(NSNumber::numberWithBool(NO), KavlorSchema::Key::showImportantAlert);
}

void showNotice()
{
    id alert = send<id>(objc_getClass("UIAlertController"), "alertControllerWithTitle:message:preferredStyle:",
        NSString::string(kNoticeTitle), firstLaunchNoticeMessage(), kAlertStyle);
    id okay = send<id>(objc_getClass("UIAlertAction"), "actionWithTitle:style:handler:", NSString::string(kOkayTitle), kDefaultAction,
        makeBlock<void(id)>([](id) { confirmNotice(); }));
    send(alert, "addAction:", okay);
    static Class iconControllerClass = objc_getClass("SBIconController");
    send(send<id>(iconControllerClass, "sharedInstance"), "presentViewController:animated:completion:", alert, true, nil);
}

KAVLOR_HOOK(didFinishLaunching) = replace({ 35, HookGroup::Base, "SpringBoard", "applicationDidFinishLaunching:" },
    [](const Previous<void(id)>& previous, id self, SEL _cmd, id application) {
        previous(self, _cmd, application);
        if (showImportantAlert)
            showNotice();
    });

} // namespace

Id<NSString> firstLaunchNoticeMessage()
{
    static const char16_t text[] = u"For users who jailbreak with Brennick\u2019s Taurine or Odyssey might experience issues with our tweaks such as "
                                   u"respring loop, crashed, safe mode and please do the following instruction below. \n\n"
                                   u"1) Install the \u2018libhooker\u2019 and \u2018libhooker configurator\u2019 tweaks \n\n"
                                   u"2) Open the libhooker app \n\n"
                                   u"3) Enter \u2018tweak compatibility\u2019 select (TweakName) \n\n"
                                   u"4) Change from libhooker to substrate compatibility";
    return NSString::stringWithCharacters(text, std::size(text) - 1);
}
