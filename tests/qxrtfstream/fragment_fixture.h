// A report with its document tables in place, as during a run, and the
// merging of a fragment into a memory stream.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qxrtf/qxrtf.h"
#include "qxrtfstream/internal/qxrtfstream.h"

namespace qxtest {

class FragmentReport : public qx::TQxRTF {
  public:
    FragmentReport() { CreateDocumentLists(); }
    void SetInTable(bool value) { FInTable = value; }
    void SetTables(const std::vector<std::string>& fonts, const std::vector<std::string>& colours,
                   const std::vector<std::string>& styles) {
        for (const auto& s : fonts) RTFFont()->Add(s);
        for (const auto& s : colours) RTFColor()->Add(s);
        for (const auto& s : styles) RTFStyle()->Add(s);
    }
};

inline std::vector<std::string> Entries(const qx::TStringList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.Strings(i));
    return out;
}

inline std::string Bytes(qx::TMemoryStream& s) {
    return std::string(reinterpret_cast<const char*>(s.Memory()),
                       static_cast<std::size_t>(s.Size()));
}

// The output of merging `fragment`; the Par variant when `dropFinalPar`.
inline std::string Merge(qx::TQxBaseRTFReport& report, const std::string& fragment,
                         bool dropFinalPar = false) {
    qx::TMemoryStream out;
    if (dropFinalPar)
        qx::InsertRtfMemoPar(report, out, fragment);
    else
        qx::InsertRtfMemo(report, out, fragment);
    return Bytes(out);
}

// The brace depth at the end of RTF text (escaped braces and the data of
// \binN not counted); -1 as soon as a group closes that was never opened.
inline int BraceBalance(const std::string& rtf) {
    int depth = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        const char c = rtf[i];
        if (c == '\\') {
            if (rtf.compare(i + 1, 3, "bin") == 0) {
                std::size_t j = i + 4;
                std::size_t n = 0;
                while (j < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[j])))
                    n = n * 10 + static_cast<std::size_t>(rtf[j++] - '0');
                if (j < rtf.size() && rtf[j] == ' ') ++j;
                i = j + n - 1;
            } else {
                ++i;
            }
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth < 0) {
            return -1;
        }
    }
    return depth;
}

}  // namespace qxtest
