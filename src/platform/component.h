// TComponent: the host's component base, reduced to what the engine uses:
// a name, a tag, an owner pointer, and free notification so that a
// component that links another one can drop the link when it is destroyed.
// Lifetime is ordinary C++; an owner does not delete the components it owns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qx {

enum class TOperation { opInsert, opRemove };

class TObject {
  public:
    virtual ~TObject() = default;
};

class TComponent : public TObject {
  public:
    explicit TComponent(TComponent* owner = nullptr);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& name) { FName = name; }
    std::intptr_t Tag() const { return FTag; }
    void SetTag(std::intptr_t tag) { FTag = tag; }
    TComponent* Owner() const { return FOwner; }

    // Asks to be told (through Notification) when `other` is destroyed.
    // The registration is mutual, so whichever dies first unregisters itself.
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

  protected:
    virtual void Notification(TComponent* component, TOperation operation);

  private:
    void DropNotifier(TComponent* other);

    std::string FName;
    std::intptr_t FTag = 0;
    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FFreeNotifies;
};

}  // namespace qx
