// Template bytes through compile and run against a small fixed dataset.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/exceptions.h"
#include "qxrtf/qxrtf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qx::TMemDataSet orders("ORDERS");
    orders.AddField("NAME", qx::ftString);
    orders.AddField("TOTAL", qx::ftFloat);
    orders.AddField("N", qx::ftInteger);
    orders.AppendRecord({std::string("Smith {x}"), 12.5, 1});
    orders.AppendRecord({std::string("Jones\\"), -3.25, 2});
    qx::TQxRTF report;
    report.CreateVar("I", 0.0);
    report.CreateVar("T", std::string("text"));
    // A template may loop forever; the limits keep each input short.
    report.SetMaxScanRepetitions(1000);
    report.SetMaxOutputSize(1 << 20);
    report.SetTemplateBuffer(std::vector<std::uint8_t>(data, data + size));
    qx::TMemoryStream out;
    try {
        report.ExecuteStream({&orders}, &out);
    } catch (const qx::Exception&) {
        // A clear error is a correct answer to a bad template.
    }
    return 0;
}
