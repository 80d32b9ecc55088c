#include "SBHIconLibraryTableView.h"

#include "UIKitSupport.h"

void SBHIconLibraryTableView::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBHIconLibraryTableView>().method("layoutSubviews", [](id self, SEL) {
        sendSuper(UIKitSupport::classNamed("_SBHIconLibraryTableView"), self, "layoutSubviews");
    });
}
