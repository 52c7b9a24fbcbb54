// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windows/History.h"

#include "ui/Language.h"
#include "ui/Text.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The columns' texts for the eye: a name's bytes are decoded for display only.
QStringList displayFields(const HistoryEntry &entry)
{
    QStringList fields;
    for (const std::string &field : HistoryFields(entry))
        fields << ui::toQ(ui::displayText(field));
    return fields;
}

} // namespace

HistoryTableModel::HistoryTableModel(const TransferHistory &history, QObject *parent)
    : QAbstractTableModel(parent), m_history(history)
{}

int HistoryTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int HistoryTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 7;
}

QVariant HistoryTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const HistoryEntry &entry = Entry(index.row());
    if (role == Qt::DisplayRole)
        return displayFields(entry).value(index.column());
    if (role == Qt::ForegroundRole && !entry.Ok)
        return QColor(Qt::red);
    if (role == Qt::TextAlignmentRole && (index.column() == 3 || index.column() == 4))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const captions[] = {
        QT_TRANSLATE_NOOP("HistoryForm", "時刻"),     QT_TRANSLATE_NOOP("HistoryForm", "方向"),
        QT_TRANSLATE_NOOP("HistoryForm", "ﾌｧｲﾙ"),     QT_TRANSLATE_NOOP("HistoryForm", "ｻｲｽﾞ"),
        QT_TRANSLATE_NOOP("HistoryForm", "所要時間"), QT_TRANSLATE_NOOP("HistoryForm", "結果"),
        QT_TRANSLATE_NOOP("HistoryForm", "実行")};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < static_cast<int>(std::size(captions)))
        return ui::translate("HistoryForm", captions[section]);
    return {};
}

void HistoryTableModel::Refresh()
{
    // The history keeps fewer than were added: older ones are gone from it.
    const uint64_t fresh = std::min<uint64_t>(m_history.Added() - m_seen, m_history.Count());
    m_seen = m_history.Added();
    std::deque<HistoryEntry> top;
    for (size_t i = 0; i < fresh; ++i) {
        const HistoryEntry &entry = m_history.Newest(i);
        if (!m_failuresOnly || !entry.Ok)
            top.push_back(entry);
    }
    if (!top.empty()) {
        beginInsertRows({}, 0, static_cast<int>(top.size()) - 1);
        m_rows.insert(m_rows.begin(), top.begin(), top.end());
        endInsertRows();
    }
    if (m_rows.size() > TransferHistory::Capacity) {
        beginRemoveRows({}, static_cast<int>(TransferHistory::Capacity), static_cast<int>(m_rows.size()) - 1);
        m_rows.resize(TransferHistory::Capacity);
        endRemoveRows();
    }
}

void HistoryTableModel::SetFailuresOnly(bool on)
{
    beginResetModel();
    m_failuresOnly = on;
    m_rows.clear();
    for (const HistoryEntry *entry : m_history.View(on))
        m_rows.push_back(*entry);
    m_seen = m_history.Added();
    endResetModel();
}

THistoryForm::THistoryForm(const TransferHistory &history, QWidget *owner)
    : ui::Form(owner), CheckFailuresOnly(new QCheckBox(ui::translate("HistoryForm", "失敗のみ"), this)),
      HistoryView(new QTableView(this)),
      ButtonCopy(new QPushButton(ui::translate("HistoryForm", "ｺﾋﾟｰ"), this)),
      ButtonClose(new QPushButton(ui::translate("HistoryForm", "閉じる"), this)),
      LabelCount(new QLabel(this)), Rows(new HistoryTableModel(history, this))
{
    setObjectName(QStringLiteral("HistoryForm"));
    setWindowTitle(ui::translate("HistoryForm", "履歴"));
    setWindowFlags(Qt::Window);
    resize(860, 360);
    CheckFailuresOnly->setObjectName(QStringLiteral("CheckFailuresOnly"));
    HistoryView->setObjectName(QStringLiteral("HistoryView"));
    ButtonCopy->setObjectName(QStringLiteral("ButtonCopy"));
    ButtonClose->setObjectName(QStringLiteral("ButtonClose"));
    LabelCount->setObjectName(QStringLiteral("LabelCount"));

    HistoryView->setModel(Rows);
    HistoryView->setSelectionBehavior(QAbstractItemView::SelectRows);
    HistoryView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    HistoryView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    HistoryView->setWordWrap(false);
    HistoryView->verticalHeader()->hide();
    HistoryView->verticalHeader()->setDefaultSectionSize(18);
    HistoryView->horizontalHeader()->setHighlightSections(false);
    for (const auto &[column, width] : {std::pair{0, 150}, {1, 64}, {2, 170}, {3, 60}, {4, 64}, {5, 220}})
        HistoryView->setColumnWidth(column, width);
    // The direction's words are longer in some languages than the column's default.
    const QFontMetrics metrics(HistoryView->font());
    int direction = HistoryView->columnWidth(1);
    for (const char *word : {QT_TRANSLATE_NOOP("Model", "ｱｯﾌﾟﾛｰﾄﾞ"), QT_TRANSLATE_NOOP("Model", "ﾀﾞｳﾝﾛｰﾄﾞ")})
        direction = std::max(direction, metrics.horizontalAdvance(ui::translate("Model", word)) + 12);
    HistoryView->setColumnWidth(1, direction);
    HistoryView->horizontalHeader()->setStretchLastSection(true);
    HistoryView->installEventFilter(this);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(CheckFailuresOnly);
    buttons->addWidget(LabelCount, 1);
    buttons->addWidget(ButtonCopy);
    buttons->addWidget(ButtonClose);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(HistoryView, 1);
    layout->addLayout(buttons);

    connect(CheckFailuresOnly, &QCheckBox::toggled, this, [this](bool on) {
        Rows->SetFailuresOnly(on);
        Refresh();
    });
    connect(ButtonCopy, &QPushButton::clicked, this, &THistoryForm::CopySelection);
    connect(ButtonClose, &QPushButton::clicked, this, &QWidget::close);
    Rows->SetFailuresOnly(false);
    Refresh();
}

void THistoryForm::EntriesPosted()
{
    if (m_refreshPosted || !isVisible())
        return;
    m_refreshPosted = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshPosted = false;
        Refresh();
    });
}

void THistoryForm::Refresh()
{
    Rows->Refresh();
    int failures = 0;
    for (int row = 0; row < Rows->rowCount(); ++row)
        failures += Rows->Entry(row).Ok ? 0 : 1;
    LabelCount->setText(ui::translate("HistoryForm", "%1件 (失敗 %2件)").arg(Rows->rowCount()).arg(failures));
}

QString THistoryForm::SelectionText() const
{
    QList<int> rows;
    for (const QModelIndex &index : HistoryView->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty())
        for (int row = 0; row < Rows->rowCount(); ++row)
            rows << row;
    std::sort(rows.begin(), rows.end());
    QString text;
    for (const int row : rows)
        text += displayFields(Rows->Entry(row)).join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}

void THistoryForm::CopySelection()
{
    QApplication::clipboard()->setText(SelectionText());
}

void THistoryForm::shown()
{
    Refresh();
}

// The view would copy its current cell only.
bool THistoryForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == HistoryView && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        CopySelection();
        return true;
    }
    return ui::Form::eventFilter(watched, event);
}
