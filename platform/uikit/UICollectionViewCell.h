#pragma once
// UICollectionViewCell: a view with a contentView (made by initWithFrame:, filling the
// cell and following its size), the reuse identifier it was dequeued under, and
// prepareForReuse, sent when the collection view hands it out again.

#include "UIView.h"

class UICollectionViewCell : public UIView {
public:
    static void declare();
    const id& contentView() const { return m_contentView; }
    const id& reuseIdentifier() const { return m_reuseIdentifier; }
    void setReuseIdentifier(const id& identifier) { m_reuseIdentifier = identifier; }

private:
    id m_contentView;
    id m_reuseIdentifier;
};
