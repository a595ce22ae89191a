#include "platform/component.h"

#include <algorithm>

namespace qx {

TComponent::TComponent(TComponent* owner) : FOwner(owner) {}

TComponent::~TComponent() {
    // Copy first: a Notification handler may unregister itself meanwhile.
    std::vector<TComponent*> notifies;
    notifies.swap(FFreeNotifies);
    for (TComponent* other : notifies) {
        other->DropNotifier(this);
        other->Notification(this, TOperation::opRemove);
    }
}

void TComponent::FreeNotification(TComponent* other) {
    if (other == nullptr || other == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), other) == FFreeNotifies.end())
        FFreeNotifies.push_back(other);
    if (std::find(other->FFreeNotifies.begin(), other->FFreeNotifies.end(), this) ==
        other->FFreeNotifies.end())
        other->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    if (other == nullptr) return;
    DropNotifier(other);
    other->DropNotifier(this);
}

void TComponent::DropNotifier(TComponent* other) {
    FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), other),
                        FFreeNotifies.end());
}

void TComponent::Notification(TComponent*, TOperation) {}

}  // namespace qx
