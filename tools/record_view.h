// TRecordView: one record of another dataset, seen as a dataset of its own.
// A batch hands each document a view of the master's current record, so a
// template that scans the master (or reads it without a scan) sees exactly
// that record, while the master itself stays where the batch put it and its
// details keep following it.
#pragma once

#include "platform/dataset.h"

class TRecordView : public qx::TDataSet {
  public:
    // `source` must outlive the view and stay on one record while a report
    // reads the view.
    explicit TRecordView(qx::TDataSet& source);

    bool Active() const override { return true; }
    void First() override { FOn = true, FBof = true; }
    void Next() override { FOn = false, FBof = false; }
    // As on a dataset's only record: Prior from the end comes back to it,
    // Prior on it stays and marks the beginning.
    void Prior() override { FBof = FOn, FOn = true; }
    void Last() override { FOn = true, FBof = false; }
    bool Eof() const override { return !FOn; }
    bool Bof() const override { return FBof; }
    int RecordCount() const override { return 1; }
    int FieldCount() const override { return FSource.FieldCount(); }
    qx::TField* Fields(int index) const override { return FSource.Fields(index); }
    qx::TBookmark GetBookmark() const override { return FSource.GetBookmark(); }
    // Only the one record can be gone back to: anything else would move the
    // master off the record whose document is being written.
    void GotoBookmark(const qx::TBookmark& bookmark) override;

  private:
    qx::TDataSet& FSource;
    bool FOn = true;
    bool FBof = true;
};
