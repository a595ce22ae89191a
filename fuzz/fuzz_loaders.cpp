// The CSV and JSON dataset readers on arbitrary file contents; the first
// byte chooses the reader.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>

#include "platform/exceptions.h"
#include "platform/loaders/file_datasets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const std::string path = "/tmp/qxrtf-fuzz-loader-" + std::to_string(getpid());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
    try {
        if ((data[0] & 1) != 0)
            qx::LoadCsvDataSet("D", path);
        else
            qx::LoadJsonDataSet("D", path);
    } catch (const std::exception&) {
        // The loaders answer bad files with an error; only crashes, leaks
        // and undefined behaviour are findings here.
    }
    return 0;
}
