// Master-detail links as the users of the datasets ask for them (the tool's
// --detail, the application interface's Data::Link), checked so that a
// detail never lists every one of its records under every master record:
// a query follows its master through :MASTER_FIELD parameters, a file's or
// an application's records through a pair of key fields (TKeyedDetail),
// and a JSON master's nested arrays belong to their records already.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/dataset.h"
#include "platform/exceptions.h"
#include "platform/loaders/column_types.h"

namespace qx {

// The datasets of one run, in the order given (a one-letter alias A names
// the first), owned by it.
struct TOpenedDataSets {
    std::vector<std::unique_ptr<TDataSet>> owned;
    std::vector<TDataSet*> datasets;

    TDataSet* Find(const std::string& name) const;
    // Raises "Dataset NAME is given twice" for a name already taken.
    void Add(std::unique_ptr<TDataSet> dataSet);
    // Opens every dataset that follows no master, so that a detail query
    // nobody linked fails now ("parameter :M_ID needs a master dataset")
    // rather than in the middle of a report.
    void OpenUnlinked() const;
};

struct TDetailLink {
    std::string detail;
    // MASTER, or MASTER.KEY for the nested array KEY of a JSON master's
    // records when no dataset `detail` is given (KEY defaults to `detail`).
    std::string master;
    // Both empty for a query or a nested array; both given for records
    // whose `detailField` holds the master's `masterField`.
    std::string detailField;
    std::string masterField;
};

enum class TLinkFault {
    NoMaster,             // no dataset of the master's name
    NoDetail,             // no dataset of the detail's name, and no JSON master
    NeedsKey,             // records without a query, linked without key fields
    QueryTakesNoKey,      // a query linked with key fields
    QueryHasNoParameter,  // a query that names no :MASTER_FIELD
    NestedTakesNoKey,     // a nested array linked with key fields
    NoKeyField            // a key field that the dataset does not have
};

// A link refused. What() reads "Detail NAME: " and the reason; Reason()
// alone is for a caller that words the place its own way.
class ELinkError : public Exception {
  public:
    ELinkError(TLinkFault fault, const std::string& detail, const std::string& reason)
        : Exception("Detail " + detail + ": " + reason), FFault(fault), FReason(reason) {}
    TLinkFault Fault() const { return FFault; }
    const std::string& Reason() const { return FReason; }

  private:
    TLinkFault FFault;
    std::string FReason;
};

// Makes `link.detail` follow its master in `opened`: a keyed view takes a
// keyed detail's place (in the list, and as the name later links find), and
// a nested array becomes a new dataset at the end of the list, its columns
// typed by `nestedTypes` where given. Raises ELinkError.
void LinkDetail(const TDetailLink& link, TOpenedDataSets& opened,
                const TColumnTypes& nestedTypes = {});

}  // namespace qx
