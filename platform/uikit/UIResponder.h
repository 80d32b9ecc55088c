#pragma once
// UIResponder: the root of views, view controllers and the application. It holds no
// state here; nextResponder is answered by each kind (a view: its controller or its
// superview; a controller: its view's superview).

#include "ClassBuilder.h"

class UIResponder : public objc_object {
public:
    static void declare();
};
