// Skipping scan and if blocks, and the brace balances that keep the output
// well-formed RTF when a block is skipped or repeated.
#include <string_view>

#include "qxbasereport/internal/command_stream.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

// Collects the braces of RTF text. An escaped character (a backslash and
// the character after it) is text, so "\{" is no brace while the brace in
// "\\{" (an escaped backslash, then a group) is one.
class BraceCollector {
  public:
    void Add(std::string_view text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (FEscaped) {
                FEscaped = false;
                continue;
            }
            if (c == '\\') {
                FEscaped = true;
            } else if (c == '{' || c == '}') {
                FBraces.push_back(c);
            }
        }
        // An escape never reaches across two separate texts.
        FEscaped = false;
    }
    const std::string& Braces() const { return FBraces; }
    int Balance() const {
        int n = 0;
        for (char c : FBraces) n += c == '{' ? 1 : -1;
        return n;
    }

  private:
    std::string FBraces;
    bool FEscaped = false;
};

// Drops every "{" directly followed by "}" and every "}" directly preceded
// by "{", each judged by its neighbours in the unreduced text.
std::string ReduceBraces(const std::string& braces) {
    std::string out;
    for (std::size_t i = 0; i < braces.size(); ++i) {
        const bool pairedOpen = braces[i] == '{' && i + 1 < braces.size() && braces[i + 1] == '}';
        const bool pairedClose = braces[i] == '}' && i > 0 && braces[i - 1] == '{';
        if (!pairedOpen && !pairedClose) out.push_back(braces[i]);
    }
    return out;
}

bool IsScanOpen(std::int32_t kind) {
    return kind == CmKind::Scan || kind == CmKind::ScanWhile;
}

}  // namespace

void TQxRTF::SkipToExprEnd() {
    for (;;) {
        CmReadItemInfo();
        if (FCmLastId == CmKind::ExprEnd) {
            CmReadExprEndItem();
            return;
        }
        if (FCmLastId == CmKind::End) return;  // a truncated block: stop at the end
        CmSkipItem();
    }
}

void TQxRTF::SkipBlock(bool scan) {
    int depth = 1;
    std::string markup, remainder;
    for (;;) {
        CmReadItemInfo();
        const std::int32_t id = FCmLastId;
        if (id == CmKind::End) return;  // unbalanced stream: nothing more to skip
        if (id == CmKind::ExprBegin) {
            // A skipped scan still resets its aggregates as if it had run.
            if (scan) {
                ReplayExprBlock();
            } else {
                CmSkipItem();
                SkipToExprEnd();
            }
            continue;
        }
        if (!IsBlockItemKind(id)) {
            CmSkipItem();
            continue;
        }
        const TQxBlockItem& item = ReadBlockItem();
        markup = item.markup;
        remainder = item.remainder;
        if (TQxScanInfo* current = FScs->CurrentScanInfo()) current->SetFirstPass(true);
        FScs->SetCurrentScan(item.block);
        // A scan nested in a skipped one is entered too, as far as its
        // totals go.
        if (const TQxScanInfo* block = FScs->CurrentScanInfo(); scan && IsScanOpen(id) && block)
            StartScanTotals(*block);
        const bool opens = scan ? IsScanOpen(id) : id == CmKind::If;
        const bool closes = scan ? id == CmKind::EndScan : id == CmKind::EndIf;
        if (opens) ++depth;
        if (closes && --depth == 0) break;
    }
    if (const TQxScanInfo* current = FScs->CurrentScanInfo()) wr(current->EmptyBalance());
    wr(markup);
    wr(remainder);
}

// Reads the item whose header was just read and answers the texts it adds
// to a balance: a field's or an expression's markup, a block item's markup
// and remainder, raw text, or (in `bytes`) the template stretch of a text
// item. An expression is read up to its end.
void TQxRTF::ReadItemTexts(std::string& markup, std::string& remainder, std::string_view& bytes) {
    markup.clear();
    remainder.clear();
    bytes = {};
    const std::int32_t id = FCmLastId;
    if (IsFieldKind(id)) {
        TQxRowContent rc;
        CmReadField(rc);
        markup = std::move(rc.sout);
    } else if (IsBlockItemKind(id)) {
        const TQxBlockItem& item = ReadBlockItem();
        markup = item.markup;
        remainder = item.remainder;
    } else if (id == CmKind::Raw) {
        CmReadRawItem(markup);
    } else if (id == CmKind::ExprBegin) {
        TQxRowContent rc;
        bool output = false, manage = false;
        std::uint16_t block = 0;
        CmReadExprBeginItem(rc, output, manage, block);
        markup = std::move(rc.sout);
        SkipToExprEnd();
    } else if (id == CmKind::Bloc || id == CmKind::BalancedBloc) {
        CmReadItemPos();
        if (Fpnt > FCmLastFpnt)
            bytes = std::string_view(reinterpret_cast<const char*>(FPFile) + FCmLastFpnt - 1,
                                     static_cast<std::size_t>(Fpnt - FCmLastFpnt));
    } else {
        CmSkipItem();
    }
}

std::string TQxRTF::EmptyBalanceAfter(const std::string& openRemainder, bool scan) {
    BraceCollector braces;
    braces.Add(openRemainder);
    std::string markup, remainder;
    std::string_view bytes;
    int depth = 1;
    for (;;) {
        CmReadItemInfo();
        const std::int32_t id = FCmLastId;
        if (id == CmKind::End) break;
        const bool opens = scan ? IsScanOpen(id) : id == CmKind::If;
        const bool closes = scan ? id == CmKind::EndScan : id == CmKind::EndIf;
        if (closes && depth == 1) break;  // the block's own closing item is not part of it
        if (opens) ++depth;
        if (closes) --depth;
        ReadItemTexts(markup, remainder, bytes);
        braces.Add(markup);
        braces.Add(remainder);
        braces.Add(bytes);
    }
    return ReduceBraces(braces.Braces());
}

void TQxRTF::ComputeScanBalances(TQxScanInfo& info, const std::string& openRemainder) {
    info.SetEmptyBalance(EmptyBalanceAfter(openRemainder, true));

    // Full balance: one repetition, from where it starts to the footer or
    // the end of the scan. A nested scan counts with one pass over its body:
    // its own rebalancing makes all its repetitions together leave the
    // groups of one pass, and a skipped nested scan writes the same net
    // braces. (Counting only its command and closing texts would rebalance
    // against groups that the nested body itself closes or opens.)
    std::string markup, remainder;
    std::string_view bytes;
    FCmStream->SetPosition(info.EntryCmPosition());
    CmReadItemInfo();
    ReadItemTexts(markup, remainder, bytes);
    BraceCollector braces;
    braces.Add(remainder);
    for (int depth = 0;;) {
        CmReadItemInfo();
        const std::int32_t id = FCmLastId;
        if (id == CmKind::End) break;
        ReadItemTexts(markup, remainder, bytes);
        if (depth == 0 && (id == CmKind::ScanFooter || id == CmKind::EndScan)) {
            braces.Add(markup);
            break;
        }
        if (IsScanOpen(id)) ++depth;
        if (id == CmKind::EndScan) --depth;
        braces.Add(markup);
        braces.Add(remainder);
        braces.Add(bytes);
    }
    info.SetFullBalance(braces.Balance());
    ReturnToBlockStart(info);
}

void TQxRTF::ComputeIfBalance(TQxScanInfo& info, const std::string& openRemainder) {
    info.SetEmptyBalance(EmptyBalanceAfter(openRemainder, false));
    ReturnToBlockStart(info);
}

void TQxRTF::ReturnToBlockStart(const TQxScanInfo& info) {
    FCmStream->SetPosition(info.CmPosition());
    CmReadItemInfo();
    ReadBlockItem();
    Fpnt = info.ScanPnt();
}

}  // namespace qx
