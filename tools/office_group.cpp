#include "office_group.h"

#include <fstream>

#include "platform/exceptions.h"

namespace tool {

namespace fs = std::filesystem;

OfficeGroup::OfficeGroup(std::string office, DocFormat format, std::size_t size)
    : FOffice(std::move(office)),
      FFormat(format),
      FSize(size),
      FWork(std::string("the ") + DisplayNameOf(format) + " documents") {
    fs::create_directory(FWork.Path() / "in");
}

void OfficeGroup::Add(const std::string& bytes, DocFormat from, Done done) {
    // Numbered, not named after the document: names two records share, and
    // names LibreOffice would read as options, cannot meet here.
    const fs::path input =
        FWork.Path() / "in" / (std::to_string(FNext++) + "." + ExtensionOf(from));
    std::ofstream out(input, std::ios::binary);
    out << bytes;
    out.close();
    if (!out) {
        done({}, "Cannot write " + input.string());
        return;
    }
    FWaiting.push_back({input, std::move(done)});
    if (FWaiting.size() >= FSize) Convert();
}

void OfficeGroup::Convert() {
    if (FWaiting.empty()) return;
    std::vector<fs::path> inputs;
    for (const Waiting& w : FWaiting) inputs.push_back(w.input);
    const fs::path outDir = FWork.Path() / "out";
    const OfficeConversion done = ConvertWithOffice(FOffice, inputs, FFormat, outDir, FWork.Path());
    const std::string why = "LibreOffice could not convert the document to " +
                            std::string(DisplayNameOf(FFormat)) +
                            (done.detail.empty() ? std::string() : ": " + done.detail);
    std::vector<Waiting> waiting;
    waiting.swap(FWaiting);
    for (std::size_t i = 0; i < waiting.size(); ++i)
        waiting[i].done(done.produced[i], done.produced[i].empty() ? why : std::string());
    std::error_code ec;
    for (const Waiting& w : waiting) fs::remove(w.input, ec);
    fs::remove_all(outDir, ec);
}

}  // namespace tool
