// The smallest application of the library: a report from an in-memory
// dataset, with a variable, a user function and an event handler. Prints
// the finished RTF; exits with 1 (and the message) when the run fails.
#include <qxrtf/qxrtf.h>

#include <iostream>

int main() {
    qx::TMemDataSet orders("ORDERS");
    orders.AddField("NAME", qx::ftString);
    orders.AddField("TOTAL", qx::ftFloat);
    orders.AppendRecord({std::string("Ada"), 12.5});
    orders.AppendRecord({std::string("Brian"), 7.25});

    qx::TQxUDFList functions;
    qx::TQxUDF* twice = functions.Functions().Add();
    twice->SetName("TWICE");
    twice->SetArgMaxCount(1);
    twice->SetResultType(qx::udfrTQxReportVariable);

    qx::TQxRTF report;
    twice->SetOnCalculate(
        [&report](qx::TObject*, const qx::TQxUDFArgs& args, std::int32_t, qx::TObject* result) {
            qx::TQxReportVariable value(&report);
            value.SetLocal(true);
            report.UDFArg2Var(args[0], value, qx::qxdtNumber);
            static_cast<qx::TQxReportVariable*>(result)->SetAsFloat(2 * value.AsFloat());
        });
    report.SetUDFList(&functions);
    report.CreateVar("TITLE", "Orders");
    int records = 0;
    report.SetOnScanRecord([&records](qx::TQxScanInfo&) { ++records; });

    const std::string tpl =
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard \\\\TITLE\\\\\\par "
        "\\\\SCAN(ORDERS)\\\\\\\\ORDERS.NAME\\\\: \\\\FFIX(TWICE(ORDERS.TOTAL), 8:2)\\\\\\par "
        "\\\\ENDSCAN\\\\}";
    report.SetTemplateBuffer(std::vector<std::uint8_t>(tpl.begin(), tpl.end()));
    qx::TMemoryStream out;
    try {
        report.ExecuteStream({&orders}, &out);
    } catch (const std::exception& e) {
        std::cerr << "report failed: " << e.what() << "\n";
        return 1;
    }
    std::cout.write(reinterpret_cast<const char*>(out.Memory()), out.Size());
    std::cout << "\n" << records << " records\n";
}
