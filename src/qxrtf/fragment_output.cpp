// FRTF: a value that is itself an RTF document is merged into the report
// with its fonts, colours and styles renumbered. Unless eoKeepFrtfPar is
// set, the fragment's final paragraph mark is taken out, so that the text
// after the field goes on in the fragment's last paragraph.
#include "platform/internal/codepage.h"
#include "qxrtf/qxrtf.h"
#include "qxrtfstream/internal/qxrtfstream.h"

namespace qx {

void TQxRTF::WriteRtfFragment(const std::string& rtf, const std::string& markup) {
    if (FOptions.Contains(eoKeepFrtfPar))
        InsertRtfMemo(*this, *FOutf, rtf);
    else
        InsertRtfMemoPar(*this, *FOutf, rtf);
    wr(markup);
}

void TQxRTF::WriteRtfFragmentStream(TStream& rtf, const std::string& markup) {
    if (FOptions.Contains(eoKeepFrtfPar))
        InsertRtfMemoStream(*this, *FOutf, rtf);
    else
        InsertRtfMemoStreamPar(*this, *FOutf, rtf);
    wr(markup);
}

void TQxRTF::WriteRtfFragmentField(const TField& field, const std::string& markup) {
    // A blob holds the document's bytes; a memo holds text, which goes out
    // through the report's code page like all text.
    TStringStream bytes(field.DataType() == ftBlob ? field.AsBytes()
                                                   : Codec().Encode(field.AsString()));
    WriteRtfFragmentStream(bytes, markup);
}

}  // namespace qx
