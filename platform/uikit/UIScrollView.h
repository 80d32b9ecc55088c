#pragma once
// UIScrollView: a view with a content size and offset and its own pan recognizer
// (panGestureRecognizer, made by initWithFrame:, target the scroll view). Firing that
// recognizer asks the scroll view's gestureRecognizerShouldBegin:, which a subclass or a
// replacement may answer NO to keep the scroll view still.

#include "ScreenChanges.h"
#include "UIView.h"

class UIScrollView : public UIView {
public:
    static void declare();

    CGSize contentSize() const { return m_contentSize; }
    void setContentSize(CGSize size) { m_contentSize = size; }
    CGPoint contentOffset() const { return m_contentOffset; }
    void setContentOffset(CGPoint offset) { ScreenChanges::setDrawn(m_contentOffset, offset); }
    bool isScrollEnabled() const { return m_scrollEnabled; }
    void setScrollEnabled(bool enabled) { m_scrollEnabled = enabled; }
    bool isPagingEnabled() const { return m_pagingEnabled; }
    void setPagingEnabled(bool enabled) { m_pagingEnabled = enabled; }
    const id& panGestureRecognizer() const { return m_panGestureRecognizer; }
    bool showsHorizontalScrollIndicator() const { return m_showsHorizontalScrollIndicator; }
    bool showsVerticalScrollIndicator() const { return m_showsVerticalScrollIndicator; }

private:
    CGSize m_contentSize {};
    CGPoint m_contentOffset {};
    bool m_scrollEnabled { true };
    bool m_pagingEnabled { false };
    bool m_showsHorizontalScrollIndicator { true };
    bool m_showsVerticalScrollIndicator { true };
    id m_panGestureRecognizer;
};
