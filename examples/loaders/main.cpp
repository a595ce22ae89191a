// An application of the loader library: a report from a CSV file, then a
// PostgreSQL connection to a server that is not there, which shows that
// libpq is found when the first connection is made. Prints the finished RTF
// and the connection's error; exits with 1 (and the message) when the run
// fails.
//   loaders ITEMS.csv
#include <platform/loaders/csv_dataset.h>
#include <platform/loaders/pg_connection.h>
#include <qxrtf/qxrtf.h>

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: loaders ITEMS.csv\n";
        return 2;
    }
    qx::TQxRTF report;
    const std::string tpl =
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard "
        "\\\\SCAN(ITEMS)\\\\\\\\ITEMS.NAME\\\\: \\\\FFIX(ITEMS.QTY*ITEMS.PRICE, 8:2)\\\\\\par "
        "\\\\ENDSCAN\\\\}";
    report.SetTemplateBuffer(std::vector<std::uint8_t>(tpl.begin(), tpl.end()));
    qx::TMemoryStream out;
    try {
        qx::TCsvDataSet items("ITEMS", argv[1]);
        report.ExecuteStream({&items}, &out);
    } catch (const std::exception& e) {
        std::cerr << "report failed: " << e.what() << "\n";
        return 1;
    }
    std::cout.write(reinterpret_cast<const char*>(out.Memory()), out.Size());
    std::cout << "\n";
    try {
        qx::TPgConnection connection("host=/nonexistent-qxrtf-socket-dir connect_timeout=1", "PG");
        std::cout << "PostgreSQL: connected\n";
    } catch (const std::exception& e) {
        std::cout << "PostgreSQL: " << e.what() << "\n";
    }
}
