// A picture group of a report split into its header, its data (decoded
// from hex or taken from \bin) and what follows it; a picture function for
// the picture tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "conscom/exceptions.h"
#include "platform/picture.h"
#include "qxfunc/udf_list.h"

namespace qxtest {

inline const std::string kCrop = "\\piccropl0\\piccropr0\\piccropt0\\piccropb0";

inline std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// A picture group split into its header (up to the data), its data
// (decoded from hex or taken from \bin) and what follows the group.
struct PictGroup {
    std::string header, data, after;
};

inline PictGroup SplitPict(const std::string& out) {
    PictGroup g;
    const auto start = out.find("{\\pict");
    if (start == std::string::npos) return g;
    const auto bin = out.find("\\bin", start);
    const auto end = out.find("\r}", start);
    if (bin != std::string::npos && bin < out.find(' ', start)) {
        g.header = out.substr(start, bin - start);
        const auto blank = out.find(' ', bin);
        const std::size_t count = std::stoul(out.substr(bin + 4, blank - bin - 4));
        g.data = out.substr(blank + 1, count);
        EXPECT_EQ(out.substr(blank + 1 + count, 2), "\r}");
        g.after = out.substr(blank + 1 + count + 2);
    } else {
        const auto blank = out.find(' ', start);
        g.header = out.substr(start, blank - start);
        const std::string hex = out.substr(blank + 1, end - blank - 1);
        EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        g.data = FromHex(hex);
        g.after = out.substr(end + 2);
    }
    return g;
}

// Adds PIC(), a picture function whose result is a white bitmap of the size
// `size` holds at the call (none while its width is 0).
inline void AddBlankPictureFunction(qx::TQxUDFList& udfs, const std::pair<int, int>& size) {
    qx::TQxUDF* f = udfs.Functions().Add();
    f->SetName("PIC");
    f->SetResultType(qx::udfrTPicture);
    f->SetOnCalculate(
        [&size](qx::TObject*, const qx::TQxUDFArgs&, std::int32_t, qx::TObject* result) {
            auto* picture = dynamic_cast<qx::TPicture*>(result);
            if (picture == nullptr) throw qx::Exception("no picture holder");
            if (size.first > 0)
                picture->Assign(std::make_unique<qx::TBitmap>(size.first, size.second));
        });
}

}  // namespace qxtest
