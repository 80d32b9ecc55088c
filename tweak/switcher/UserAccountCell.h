#pragma once
// The collection-view cell that shows one account: a round avatar with the account's
// name under it. initWithFrame: builds its views; the panel fills image, text and border
// every time it hands the cell out.

#include "UICollectionViewCell.h"

class UserAccountCell : public UICollectionViewCell {
public:
    id baseView;
    id avatarImage;
    id usernameLabel;
};

void declareUserAccountCell();
