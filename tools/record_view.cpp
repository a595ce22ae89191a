#include "record_view.h"

TRecordView::TRecordView(qx::TDataSet& source) : FSource(source) {
    SetName(source.Name());
}

void TRecordView::GotoBookmark(const qx::TBookmark& bookmark) {
    if (bookmark != FSource.GetBookmark())
        throw qx::EDatabaseError("Dataset " + Name() +
                                 ": a document of a batch sees only its own record");
    FOn = true;
}
