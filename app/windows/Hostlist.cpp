// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windows/Hostlist.h"

#include "ui/Button.h"
#include "ui/Dialogs.h"
#include "ui/Language.h"
#include "ui/ListView.h"
#include "ui/Placement.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

THostForm *HostForm = nullptr;

QString PasswordFileOnlyText()
{
    return ui::translate("HostForm", "ｷｰﾘﾝｸﾞがないため、ﾊﾟｽﾜｰﾄﾞは難読化しただけでﾌｧｲﾙに保存されます。");
}

namespace {
QString noHostText()
{
    return ui::translate("HostForm", "ホストが指定されていません。");
}
} // namespace

THostForm::THostForm(QWidget *owner)
    : ui::Form(owner), ListView1(new ui::ListView(this)), LabelPasswordNotice(new QLabel(this)),
      Panel1(new QWidget(this)), ButtonSet(new QPushButton(ui::translate("HostForm", "設定"), Panel1)),
      ButtonDelete(new ui::Button(ui::translate("HostForm", "削除"), Panel1)),
      ButtonCancel(new QPushButton(ui::translate("HostForm", "キャンセル"), Panel1))
{
    HostForm = this;
    setObjectName(QStringLiteral("HostForm"));
    setWindowTitle(ui::translate("HostForm", "ホスト一覧"));
    // Title bar with the system menu and close box only: no minimise or maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedBorder(false, 324, 253);

    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->addColumn(ui::translate("HostForm", "ホスト名"), 200);
    ListView1->addColumn(ui::translate("HostForm", "ユーザー名"), 100);
    ListView1->header()->setStretchLastSection(true);

    LabelPasswordNotice->setObjectName(QStringLiteral("LabelPasswordNotice"));
    LabelPasswordNotice->setText(PasswordFileOnlyText());
    LabelPasswordNotice->setWordWrap(true);
    LabelPasswordNotice->setContentsMargins(6, 4, 6, 0);
    LabelPasswordNotice->hide();

    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(37);
    ButtonSet->setObjectName(QStringLiteral("ButtonSet"));
    ButtonSet->setGeometry(10, 6, 75, 25);
    ButtonDelete->setObjectName(QStringLiteral("ButtonDelete"));
    ButtonDelete->setGeometry(106, 6, 75, 25);
    ButtonDelete->setTag(-1);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setGeometry(232, 6, 75, 25);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ListView1, 1);
    layout->addWidget(LabelPasswordNotice);
    layout->addWidget(Panel1);

    connect(ButtonSet, &QPushButton::clicked, this, &THostForm::ButtonSetClick);
    connect(ButtonDelete, &QPushButton::clicked, this, &THostForm::ButtonDeleteClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &THostForm::ButtonCancelClick);
}

THostForm::~THostForm()
{
    if (HostForm == this)
        HostForm = nullptr;
}

void THostForm::shown()
{
    ui::centerOn(this, parentWidget());
}

int THostForm::SelectedRow() const
{
    const std::vector<int> rows = ListView1->selectedRows();
    return rows.empty() ? -1 : rows.front();
}

void THostForm::ButtonSetClick()
{
    const int row = SelectedRow();
    if (row < 0) {
        ui::dialogs().message(noHostText());
        return;
    }
    if (ui::dialogs().confirm(ui::translate("HostForm", "指定のホストに設定してもいいですか？"))) {
        ButtonDelete->setTag(-1);
        Tag = row;
        close();
    }
    ListView1->setFocus();
}

void THostForm::ButtonDeleteClick()
{
    const int row = SelectedRow();
    if (row < 0) {
        ui::dialogs().message(noHostText());
        return;
    }
    if (ui::dialogs().confirm(ui::translate("HostForm", "指定のホストを削除してもいいですか？"))) {
        ButtonDelete->setTag(row);
        Tag = -1;
        close();
    }
    ListView1->setFocus();
}

void THostForm::ButtonCancelClick()
{
    Tag = -1;
    close();
}
