// The smallest application of the library: a report from the application's
// own records, with a variable, a function given as a lambda and progress
// told per record. Prints the finished RTF; exits with 1 (and the message)
// when the run fails.
#include <qxrtf/report.h>

#include <iostream>

int main() {
    qxrtf::Data data;
    data.Add(qxrtf::Rows("ORDERS", {{"NAME", qxrtf::Kind::String}, {"TOTAL", qxrtf::Kind::Number}})
                 .Add({"Ada", 12.5})
                 .Add({"Brian", 7.25}));

    qxrtf::Functions functions;
    functions.Add("TWICE", 1, [](std::span<const qxrtf::Value> args) -> qxrtf::Value {
        return 2 * args[0].AsNumber();
    });
    qxrtf::Options options;
    options.functions = &functions;
    options.variables["TITLE"] = "Orders";
    std::int64_t records = 0;
    options.progress = [&records](std::int64_t count) {
        records = count;
        return true;  // false cancels the render
    };

    try {
        const auto tpl = qxrtf::Template::FromString(
            "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard \\\\TITLE\\\\\\par "
            "\\\\SCAN(ORDERS)\\\\\\\\ORDERS.NAME\\\\: \\\\FFIX(TWICE(ORDERS.TOTAL), 8:2)\\\\\\par "
            "\\\\ENDSCAN\\\\}");
        qxrtf::Render(tpl, data, std::cout, options);
    } catch (const qxrtf::Error& e) {
        std::cerr << "report failed: " << e.what() << "\n";
        return 1;
    }
    std::cout << "\n" << records << " records\n";
}
