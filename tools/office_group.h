// Documents of a batch worker that wait for LibreOffice: it is started once
// for a group of them (its start costs seconds, the conversion of one
// letter a fraction of that), not once per document.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "office_convert.h"

namespace tool {

class OfficeGroup {
  public:
    // What happens to a document once the group is converted: `converted`
    // is its file in `format` (empty when LibreOffice did not write it,
    // `error` then says why). It may raise nothing.
    using Done =
        std::function<void(const std::filesystem::path& converted, const std::string& error)>;

    // Converts to `format` with the LibreOffice launcher `office`, at most
    // `size` documents at a time; its files and LibreOffice profile are
    // kept in a folder of its own under the temporary directory.
    OfficeGroup(std::string office, DocFormat format, std::size_t size);
    OfficeGroup(const OfficeGroup&) = delete;
    OfficeGroup& operator=(const OfficeGroup&) = delete;

    // Adds a document: `bytes` of a file in `from`, converted when the group
    // is full (or by Convert).
    void Add(const std::string& bytes, DocFormat from, Done done);
    // Converts the documents added since the last time with one start of
    // LibreOffice, calls their Done in the order they came, and removes
    // their files.
    void Convert();

  private:
    struct Waiting {
        std::filesystem::path input;
        Done done;
    };
    std::string FOffice;
    DocFormat FFormat;
    std::size_t FSize;
    PrivateDir FWork;
    std::vector<Waiting> FWaiting;
    std::size_t FNext = 0;  // numbers the inputs, so no two share a name
};

}  // namespace tool
