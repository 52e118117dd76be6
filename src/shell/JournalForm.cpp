#include "JournalForm.h"

#include "FormUtil.h"
#include "GridText.h"
#include "StringGrid.h"
#include "Translate.h"
#include "exchange/RequestJournal.h"

#include <QBoxLayout>
#include <QBrush>
#include <QCheckBox>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

using namespace Qt::Literals::StringLiterals;

namespace {

// Colours the rows of failed requests; the journal itself knows no colours.
class JournalColours : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::ForegroundRole || role == Qt::BackgroundRole) {
            if (!QIdentityProxyModel::data(index, RequestJournal::ErrorRole).toBool())
                return {};
            return role == Qt::ForegroundRole ? QBrush(QColor(160, 0, 0)) : QBrush(QColor(255, 224, 220));
        }
        return QIdentityProxyModel::data(index, role);
    }
};

} // namespace

TJournalForm::TJournalForm(RequestJournal *journal, QWidget *parent)
    : QDialog(parent)
    , m_journal(journal)
{
    setObjectName(u"JournalForm"_s);
    setWindowTitle(u"Журнал запросов"_s);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setMinimumSize(520, 230);
    resize(960, 420);
    setFormPosition(this, FormPosition::ScreenCenter);

    PanelTop = makePanel(this, u"PanelTop"_s);
    PanelTop->setFixedHeight(30);
    ErrorsOnlyCheck = new QCheckBox(u"только ошибки"_s, PanelTop);
    ErrorsOnlyCheck->setObjectName(u"ErrorsOnlyCheck"_s);
    CountLabel = new QLabel(PanelTop);
    CountLabel->setObjectName(u"CountLabel"_s);
    auto *top = new QHBoxLayout(PanelTop);
    top->setContentsMargins(6, 2, 6, 2);
    top->addWidget(ErrorsOnlyCheck);
    top->addStretch(1);
    top->addWidget(CountLabel);

    JournalGrid = new TStringGrid(this);
    JournalGrid->setObjectName(u"JournalGrid"_s);
    JournalGrid->setRowSelect(true);
    JournalGrid->setColSizing(true);
    JournalGrid->setDefaultRowHeight(20);
    JournalGrid->setFilterEnabled(true);
    auto *colours = new JournalColours(this);
    colours->setSourceModel(journal);
    JournalGrid->useModel(colours);
    static const int widths[] = { 86, 36, 150, 150, 70, 90, 95, 110, 60, 60 };
    for (int c = 0; c < RequestJournal::ColumnCount; ++c)
        JournalGrid->setColWidth(c, widths[c]);

    ExportButton = makeButton(this, u"ExportButton"_s, u"Экспорт в файл…"_s);
    ButtonCancel = makeButton(this, u"ButtonCancel"_s, u"@90"_s);
    Panel1 = makeBottomPanel(this, u"Panel1"_s, { ExportButton, nullptr, ButtonCancel });
    stackVertically(this, { PanelTop, JournalGrid, Panel1 }, JournalGrid);

    connect(ErrorsOnlyCheck, &QCheckBox::clicked, this, &TJournalForm::ErrorsOnlyCheckClick);
    connect(ExportButton, &QPushButton::clicked, this, [this] {
        m_journal->flush();
        JournalGrid->exportToFile();
    });
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(JournalGrid->filterModel(), &QAbstractItemModel::rowsInserted, this,
        [this](const QModelIndex &, int first) { followNewest(first); });
    connect(JournalGrid->filterModel(), &QAbstractItemModel::rowsRemoved, this, &TJournalForm::showCounts);
    connect(JournalGrid->filterModel(), &QAbstractItemModel::modelReset, this, &TJournalForm::showCounts);

    TranslateAndRefont(this);
    showCounts();
}

void TJournalForm::showEvent(QShowEvent *event)
{
    m_journal->flush();
    QDialog::showEvent(event);
}

void TJournalForm::ErrorsOnlyCheckClick()
{
    if (ErrorsOnlyCheck->isChecked()) {
        RequestJournal *journal = m_journal;
        JournalGrid->filterModel()->setRowTest([journal](int row) { return journal->isErrorRow(row); });
    } else {
        JournalGrid->filterModel()->setRowTest({});
    }
    showCounts();
}

void TJournalForm::showCounts()
{
    const int shown = JournalGrid->filterModel()->rowCount();
    const int total = m_journal->size();
    CountLabel->setText(shown == total
            ? u"Запросов: "_s + QString::number(total)
            : u"Показано "_s + QString::number(shown) + u" из "_s + QString::number(total));
}

void TJournalForm::followNewest(int first)
{
    showCounts();
    if (!isVisible())
        return;
    // The newest request comes into view while the administrator watches the end of the list.
    QScrollBar *bar = JournalGrid->verticalScrollBar();
    if (bar->value() >= bar->maximum() - 1 || first == 0)
        JournalGrid->scrollToBottom();
}
