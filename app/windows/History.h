// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/model/TransferHistory.h"
#include "ui/Form.h"

#include <QAbstractTableModel>
#include <deque>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

// The rows of the history window: the history's entries, newest first, with or
// without the filter "failures only". Refresh() takes the entries added since
// the last one in at the top (a selection stays where it is) and drops what
// the history no longer keeps.
class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit HistoryTableModel(const TransferHistory &history, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Refresh();
    void SetFailuresOnly(bool on);
    bool FailuresOnly() const { return m_failuresOnly; }
    const HistoryEntry &Entry(int row) const { return m_rows[static_cast<size_t>(row)]; }

private:
    const TransferHistory &m_history;
    std::deque<HistoryEntry> m_rows; // newest first
    uint64_t m_seen = 0;
    bool m_failuresOnly = false;
};

// "履歴": every transfer and failure of this run, newest first: time,
// direction, path, size, duration, result and the pass it belonged to. "失敗のみ"
// shows the failures only; "ｺﾋﾟｰ" (or Ctrl+C) copies the selected rows as text,
// one tab-separated line each.
class THistoryForm : public ui::Form {
    Q_OBJECT
public:
    explicit THistoryForm(const TransferHistory &history, QWidget *owner = nullptr);

    QCheckBox *CheckFailuresOnly;
    QTableView *HistoryView;
    QPushButton *ButtonCopy;
    QPushButton *ButtonClose;
    QLabel *LabelCount;
    HistoryTableModel *Rows;

    // New entries arrived: shown at the next turn of the event loop, many at once.
    void EntriesPosted();
    void Refresh();
    // The selected rows (all shown rows when none is selected) as text.
    QString SelectionText() const;
    void CopySelection();

protected:
    void shown() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_refreshPosted = false;
};
