// TQxUDFList: the component through which an application hands the report
// its user-defined functions. A report links one list through its UDFList
// property and is told when the list is destroyed. A function's position in
// the list is its id while a report runs, so reordering renumbers them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "platform/component.h"
#include "qxfunc/result_types.h"

namespace qx {

// Version shared by the report and the function list; a list of another
// version is refused when linked.
inline constexpr int kQxVersion = 312;

class TQxUDFList;
class TQxUDFCollection;

// The evaluated arguments of one call, in written order.
using TQxUDFArgs = std::vector<TObject*>;
// The application's handler: the report, the arguments, how many there are,
// and the result holder to fill (nullptr for functions without a result).
using TQxUDFOnCalculate = std::function<void(TObject* Sender, const TQxUDFArgs& Args,
                                             std::int32_t ArgCount, TObject* UDFResult)>;

// One user-defined function.
class TQxUDF : public TObject {
  public:
    explicit TQxUDF(TQxUDFCollection* collection);

    TQxUDFCollection* Collection() const { return FCollection; }
    // The name, or the class name while the name is empty.
    std::string GetDisplayName() const;

    const TQxUDFOnCalculate& OnCalculate() const { return FOnCalculate; }
    void SetOnCalculate(TQxUDFOnCalculate handler) { FOnCalculate = std::move(handler); }
    const std::string& Name() const { return FName; }
    // Trims the value; refuses a name another function of the list already
    // has (case and blanks ignored) and one that is no valid identifier.
    void SetName(const std::string& value);
    std::uint16_t ArgMinCount() const { return FArgMinCount; }
    std::uint16_t ArgMaxCount() const { return FArgMaxCount; }
    // Each limit drags the other along so that min <= max always holds.
    void SetArgMinCount(std::uint16_t value);
    void SetArgMaxCount(std::uint16_t value);
    TQxUDFResultType ResultType() const { return FResultType; }
    void SetResultType(TQxUDFResultType value) { FResultType = value; }

    // Copies handler, name (without the name checks), limits and result kind.
    void Assign(const TQxUDF& source);

    // Letters and "_", digits except first; the empty name is valid.
    static bool CheckName(const std::string& name);

  private:
    TQxUDFCollection* FCollection;
    TQxUDFOnCalculate FOnCalculate;
    std::string FName;
    std::uint16_t FArgMinCount = 0;
    std::uint16_t FArgMaxCount = 0;
    TQxUDFResultType FResultType = udfrTQxReportVariable;
};

// The owned items of one TQxUDFList.
class TQxUDFCollection {
  public:
    explicit TQxUDFCollection(TQxUDFList* fnList) : FQxUDFList(fnList) {}
    TQxUDFCollection(const TQxUDFCollection&) = delete;
    TQxUDFCollection& operator=(const TQxUDFCollection&) = delete;

    TQxUDF* Add();
    std::int32_t Count() const { return static_cast<std::int32_t>(FItems.size()); }
    // Throws for an index outside 0..Count()-1.
    TQxUDF* Items(std::int32_t index) const;
    void SetItem(std::int32_t index, const TQxUDF& value) { Items(index)->Assign(value); }
    void Delete(std::int32_t index);
    void Clear() { FItems.clear(); }
    // Replaces the items by copies of the source's items.
    void Assign(const TQxUDFCollection& source);
    TQxUDFList* GetOwner() const { return FQxUDFList; }
    // The collection sends no change notification.
    void Update(TQxUDF* /*item*/) {}

  private:
    TQxUDFList* FQxUDFList;
    std::vector<std::unique_ptr<TQxUDF>> FItems;
};

class TQxUDFList : public TComponent {
  public:
    explicit TQxUDFList(TComponent* owner = nullptr);
    ~TQxUDFList() override;

    virtual int Version() const { return kQxVersion; }

    TQxUDFCollection& Functions() { return *FFunctions; }
    const TQxUDFCollection& Functions() const { return *FFunctions; }
    void SetFunctions(const TQxUDFCollection& value) { FFunctions->Assign(value); }
    std::int32_t GetCount() const { return FFunctions->Count(); }
    // Position of the first function whose trimmed name equals the trimmed
    // `name` ignoring case; -1 when none does.
    std::int32_t FindFunction(const std::string& name) const;

    // Settings document: {"Name": ..., "Functions": [{"Name", "ArgMinCount",
    // "ArgMaxCount", "ResultType"}...]}. Handlers are attached in code.
    virtual void SaveSettings(nlohmann::json& doc) const;
    // Replaces the functions by those of the document, through the same
    // setters (and name checks) as code would use.
    virtual void LoadSettings(const nlohmann::json& doc);

  private:
    std::unique_ptr<TQxUDFCollection> FFunctions;
};

}  // namespace qx
