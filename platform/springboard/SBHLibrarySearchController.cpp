#include "SBHLibrarySearchController.h"

void SBHLibrarySearchController::declare(ClassBuilder& builder, int)
{
    builder.instancesOf<SBHLibrarySearchController>().method("searchBarShouldBeginEditing:", [](id, SEL, id) -> bool { return true; });
}
