// An application of the loader library: a report from a CSV file, then a
// PostgreSQL dataset on a server that is not there, which shows that libpq
// is found when the first connection is made. Prints the finished RTF and
// the connection's error; exits with 1 (and the message) when the CSV
// report fails.
//   loaders ITEMS.csv
#include <qxrtf/datasets.h>
#include <qxrtf/report.h>

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: loaders ITEMS.csv\n";
        return 2;
    }
    const auto tpl = qxrtf::Template::FromString(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard "
        "\\\\SCAN(ITEMS)\\\\\\\\ITEMS.NAME\\\\: \\\\FFIX(ITEMS.QTY*ITEMS.PRICE, 8:2)\\\\\\par "
        "\\\\ENDSCAN\\\\}");
    try {
        qxrtf::Data data;
        data.Add(qxrtf::CsvFile("ITEMS", argv[1]));
        qxrtf::Render(tpl, data, std::cout);
    } catch (const qxrtf::Error& e) {
        std::cerr << "report failed: " << e.what() << "\n";
        return 1;
    }
    std::cout << "\n";
    try {
        qxrtf::Data data;
        data.Add(qxrtf::PostgresQuery("PG", "host=/nonexistent-qxrtf-socket-dir connect_timeout=1",
                                      "SELECT 1 AS ONE"));
        qxrtf::RenderToString(tpl, data);
        std::cout << "PostgreSQL: connected\n";
    } catch (const qxrtf::Error& e) {
        std::cout << "PostgreSQL: " << e.what() << "\n";
    }
}
