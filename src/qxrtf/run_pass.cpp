// The run pass: replays the command stream into the temporary stream.
#include "qxrtf/qxrtf.h"

namespace qx {

void TQxRTF::RunPass() {
    for (;;) {
        CmReadItemInfo();
        switch (FCmLastId) {
            case CmKind::End:
                return;
            case CmKind::Bloc:
                CmReadBlocItem();
                wrBlock(FPFile, FCmLastFpnt - 1, Fpnt - FCmLastFpnt);
                break;
            case CmKind::BalancedBloc:
                CmReadBalancedBlocItem();
                wrBlock(FPFile, FCmLastFpnt - 1, Fpnt - FCmLastFpnt);
                break;
            case CmKind::FontTable:
            case CmKind::ColorTable:
            case CmKind::StyleSheet:
            case CmKind::DocInfo:
                SaveToOutTable(FCmLastId);
                CmSkipItem();
                break;
            case CmKind::TableBegin:
                CmReadTableBegin();
                FInTable = true;
                break;
            case CmKind::TableEnd:
                CmReadTableEnd();
                FInTable = false;
                break;
            case CmKind::Raw:
                OutRaw();
                break;
            default:
                CmSkipItem();
                break;
        }
    }
}

}  // namespace qx
