#pragma once
// The control commands that show the account switcher panel and switch the appearance:
//
//   {"command":"panel"}                -> {"source": "lock-screen"|"side", "width": W,
//                                          "views": [ViewTreeDump entries...]}
//   {"command":"appearance","style":"light"|"dark"} -> {"style": S}
//
// `panel` shows the panel that the lock screen's notification-list controller holds
// (its userAccountView), laid out where it is. When the controller holds none (the panel
// is placed on the lock screen by the tweak's lock-screen replacements), a panel is built
// on the side: a new UserAccountView, sent init, pinned to the top, leading and trailing
// edges of a container as wide as the lock screen's list, and laid out; after it is shown
// it is taken apart and leaves no observer behind. Views are named after the panel's
// properties ("respringButton"), cells "cell[i]" and their parts "cell[i].avatarImage".
//
// `appearance` is the device's appearance switch (UITraitCollection); iOS 12 has no dark
// appearance and refuses it.

class HostControl;

namespace PanelInspector {

void addControlCommands(HostControl& control);

} // namespace PanelInspector
