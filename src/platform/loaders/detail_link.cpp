#include "platform/loaders/detail_link.h"

#include <algorithm>

#include "platform/internal/unicode.h"
#include "platform/loaders/keyed_detail.h"
#include "platform/loaders/stream_dataset.h"

namespace qx {

TDataSet* TOpenedDataSets::Find(const std::string& name) const {
    for (TDataSet* ds : datasets)
        if (SameText(ds->Name(), name)) return ds;
    return nullptr;
}

void TOpenedDataSets::Add(std::unique_ptr<TDataSet> dataSet) {
    if (Find(dataSet->Name()) != nullptr)
        throw Exception("Dataset " + dataSet->Name() + " is given twice");
    datasets.push_back(dataSet.get());
    owned.push_back(std::move(dataSet));
}

void TOpenedDataSets::OpenUnlinked() const {
    for (const auto& ds : owned)
        if (ds->Master() == nullptr) ds->First();
}

namespace {

// The records of the nested arrays `key` of a JSON master's records.
void LinkNested(const TDetailLink& link, TDataSet& master, const std::string& key,
                TOpenedDataSets& opened, const TColumnTypes& types) {
    auto* records = dynamic_cast<TStreamDataSet*>(&master);
    std::unique_ptr<TStreamDataSet> nested =
        records != nullptr ? records->NestedDetail(link.detail, key, types) : nullptr;
    if (nested == nullptr)
        throw ELinkError(TLinkFault::NoDetail, link.detail,
                         "no dataset " + link.detail + " is given, and " + master.Name() +
                             " is no JSON dataset with nested arrays");
    if (!link.detailField.empty())
        throw ELinkError(TLinkFault::NestedTakesNoKey, link.detail,
                         "the records of a nested array belong to their master record already: "
                         "give no key");
    opened.Add(std::move(nested));
}

// A query follows its master through its :MASTER_FIELD parameters.
void LinkQuery(const TDetailLink& link, TDataSet& detail, TDataSet& master, int parameters) {
    const std::string& m = master.Name();
    if (!link.detailField.empty())
        throw ELinkError(TLinkFault::QueryTakesNoKey, link.detail,
                         detail.Name() + " is read by a query: link it to " + m + " with :" + m +
                             "_FIELD parameters in the query, not with a key");
    // Without a parameter every master record would list all the detail's
    // records: a wrong report, not a shorter one.
    if (parameters == 0)
        throw ELinkError(TLinkFault::QueryHasNoParameter, link.detail,
                         "the query of " + detail.Name() + " has no :" + m +
                             "_FIELD parameter to link it to " + m + ", so every record of " + m +
                             " would list all its records");
    detail.SetMaster(&master);
}

void LinkKeyed(const TDetailLink& link, TDataSet& detail, TDataSet& master,
               TOpenedDataSets& opened) {
    if (link.detailField.empty())
        throw ELinkError(
            TLinkFault::NeedsKey, link.detail,
            detail.Name() + " has no query: give the fields that link it to " + master.Name());
    if (detail.FindField(link.detailField) == nullptr)
        throw ELinkError(TLinkFault::NoKeyField, link.detail,
                         detail.Name() + " has no field " + link.detailField);
    if (master.FindField(link.masterField) == nullptr)
        throw ELinkError(TLinkFault::NoKeyField, link.detail,
                         master.Name() + " has no field " + link.masterField);
    // The keyed view takes the detail's place, in the list and as the name
    // the template and later links find.
    const auto owned = std::find_if(opened.owned.begin(), opened.owned.end(),
                                    [&](const auto& ds) { return ds.get() == &detail; });
    std::unique_ptr<TStreamDataSet> records(static_cast<TStreamDataSet*>(owned->release()));
    *owned = std::make_unique<TKeyedDetail>(std::move(records), link.detailField, link.masterField);
    (*owned)->SetMaster(&master);
    std::replace(opened.datasets.begin(), opened.datasets.end(), &detail, owned->get());
}

}  // namespace

void LinkDetail(const TDetailLink& link, TOpenedDataSets& opened, const TColumnTypes& nestedTypes) {
    TDataSet* detail = opened.Find(link.detail);
    std::string masterName = link.master;
    std::string nestedKey = link.detail;
    if (detail == nullptr && masterName.find('.') != std::string::npos) {
        nestedKey = masterName.substr(masterName.find('.') + 1);
        masterName.resize(masterName.find('.'));
    }
    TDataSet* master = opened.Find(masterName);
    if (master == nullptr)
        throw ELinkError(TLinkFault::NoMaster, link.detail,
                         "no dataset " + masterName + " is given");
    if (detail == nullptr) return LinkNested(link, *master, nestedKey, opened, nestedTypes);
    auto* records = dynamic_cast<TStreamDataSet*>(detail);
    const int parameters = records != nullptr ? records->MasterParameterCount() : -1;
    if (parameters >= 0) return LinkQuery(link, *detail, *master, parameters);
    if (records == nullptr)
        throw ELinkError(TLinkFault::NeedsKey, link.detail,
                         detail->Name() + " cannot follow a master");
    LinkKeyed(link, *detail, *master, opened);
}

}  // namespace qx
