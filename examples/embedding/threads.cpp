// One compiled template rendered by four threads at once, each with data of
// its own: a Template is only read after it is compiled. Prints each
// thread's report in turn; exits with 1 when any render fails.
#include <qxrtf/report.h>

#include <iostream>
#include <string>
#include <thread>
#include <vector>

int main() {
    const auto tpl = qxrtf::Template::FromString(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard \\\\SCAN(LINES)\\\\\\\\LINES.ITEM\\\\ x "
        "\\\\LINES.QTY\\\\\\par \\\\ENDSCAN\\\\}");
    std::vector<std::string> reports(4);
    std::vector<std::string> failures(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < reports.size(); ++t)
        threads.emplace_back([&, t] {
            qxrtf::Rows lines("LINES",
                              {{"ITEM", qxrtf::Kind::String}, {"QTY", qxrtf::Kind::Integer}});
            for (int i = 1; i <= 3; ++i)
                lines.Add({"thread " + std::to_string(t) + " item " + std::to_string(i), i});
            qxrtf::Data data;
            data.Add(std::move(lines));
            try {
                reports[t] = qxrtf::RenderToString(tpl, data);
            } catch (const qxrtf::Error& e) {
                failures[t] = e.what();
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (std::size_t t = 0; t < reports.size(); ++t) {
        if (!failures[t].empty()) {
            std::cerr << "thread " << t << " failed: " << failures[t] << "\n";
            return 1;
        }
        std::cout << reports[t] << "\n";
    }
}
