// Template bytes through compile and run against a small fixed set of
// datasets, named and shaped like those of the golden templates so that
// their fields resolve and the run goes past the first name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/exceptions.h"
#include "platform/mem_dataset.h"
#include "qxrtf/qxrtf.h"

namespace {

struct TFixedData {
    qx::TMemDataSet orders{"ORDERS"};
    qx::TMemDataSet customers{"CUSTOMERS"};
    qx::TMemDataSet people{"PEOPLE"};
    qx::TMemDataSet notes{"NOTES"};

    TFixedData() {
        orders.AddField("ID", qx::ftInteger);
        orders.AddField("CUSTID", qx::ftInteger);
        orders.AddField("NAME", qx::ftString);
        orders.AddField("TOTAL", qx::ftFloat);
        orders.AddField("PAID", qx::ftBoolean);
        orders.AddField("NOTE", qx::ftMemo);
        orders.AppendRecord(
            {1, 1, std::string("Smith {x}"), 1234.5, true, std::string("{\\b bold}")});
        orders.AppendRecord({2, 2, std::string("Jones\\"), -3.25, false, std::monostate{}});
        orders.AppendRecord({3, 1, std::string(""), 0.125, true, std::string("\xff\xfe")});
        customers.AddField("ID", qx::ftInteger);
        customers.AddField("NAME", qx::ftString);
        customers.AppendRecord({1, std::string("Smith & Sons")});
        customers.AppendRecord({2, std::string("Jones")});
        people.AddField("NAME", qx::ftString);
        people.AddField("CITY", qx::ftString);
        people.AddField("BORN", qx::ftDate);
        people.AddField("SCORE", qx::ftFloat);
        people.AppendRecord({std::string("Ann"), std::string("Oslo"), 29000.0, 7.5});
        people.AppendRecord({std::string("Bob"), std::string("Oslo"), std::monostate{}, 1e300});
        people.AppendRecord({std::string("Cy"), std::string("Rome"), -1.0, -0.0});
        notes.AddField("TEXT", qx::ftMemo);
        notes.AppendRecord({std::string("line one\r\nline two")});
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TFixedData fixed;
    qx::TQxRTF report;
    report.CreateVar("I", 0.0);
    report.CreateVar("T", std::string("text"));
    // A template may loop forever, grow its output or its values without
    // end, or work without writing: tight limits end each input within a
    // few milliseconds, so that the fuzzer tries many (every limit is a
    // clear error it reaches often, and those errors are paths too). The
    // datasets have three records, so a scan's passes stay few anyway.
    report.SetMaxScanRepetitions(64);
    report.SetMaxOutputSize(64 << 10);
    report.SetMaxEvaluationSteps(20000);
    report.SetMaxValueSize(4 << 10);
    report.SetMaxVariablesSize(16 << 10);
    report.SetTemplateBuffer(std::vector<std::uint8_t>(data, data + size));
    qx::TMemoryStream out;
    try {
        report.ExecuteStream({&fixed.orders, &fixed.customers, &fixed.people, &fixed.notes}, &out);
    } catch (const qx::Exception&) {
        // A clear error is a correct answer to a bad template.
    }
    return 0;
}
