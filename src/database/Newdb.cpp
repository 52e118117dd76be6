#include "Newdb.h"

#include "DbNames.h"
#include "shell/Dialogs.h"
#include "shell/FormUtil.h"
#include "shell/Messages.h"
#include "shell/Translate.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

using namespace Qt::Literals::StringLiterals;

namespace {

// At most eight characters, typed or pasted. A longer paste is refused whole rather than cut,
// so that no name the administrator never wrote is offered for creation. Which characters may
// be used is checked by OK, with a message.
class DbNameLengthValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        return input.size() <= MaxDbNameLength ? Acceptable : Invalid;
    }
};

} // namespace

TNewDBForm::TNewDBForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"NewDBForm"_s);
    setWindowTitle(u"@483"_s);
    setProperty("helpContext", 2200);
    setFormPosition(this, FormPosition::ScreenCenter);

    NameLabel = new QLabel(u"@181"_s, this);
    NameLabel->setObjectName(u"NameLabel"_s);
    NameLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    NameEdit = new QLineEdit(this);
    NameEdit->setObjectName(u"NameEdit"_s);
    NameEdit->setValidator(new DbNameLengthValidator(NameEdit));
    NameEdit->setFixedWidth(100);
    NameLabel->setBuddy(NameEdit);

    FullNameLabel = new QLabel(u"@461"_s, this);
    FullNameLabel->setObjectName(u"FullNameLabel"_s);
    FullNameLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    FullNameEdit = new QLineEdit(this);
    FullNameEdit->setObjectName(u"FullNameEdit"_s);
    FullNameEdit->setMinimumWidth(190);
    FullNameLabel->setBuddy(FullNameEdit);

    CheckBox = new QCheckBox(u"@484"_s, this);
    CheckBox->setObjectName(u"CheckBox"_s);
    CheckBox->setChecked(true);

    OKBitBtn = makeButton(this, u"OKBitBtn"_s, u"@485"_s, true);
    OKBitBtn->setDefault(true);
    CancelBitBtn = makeButton(this, u"CancelBitBtn"_s, u"@92"_s, true);

    // Laid out rather than placed, so that no caption is cut whatever the message file and the
    // font say; the description widens with the window, which never gets smaller than its content.
    auto *fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(10);
    fields->addWidget(NameLabel, 0, 0);
    fields->addWidget(NameEdit, 0, 1, Qt::AlignLeft);
    fields->addWidget(FullNameLabel, 1, 0);
    fields->addWidget(FullNameEdit, 1, 1);
    fields->addWidget(CheckBox, 2, 1);
    fields->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch();
    buttons->addWidget(OKBitBtn);
    buttons->addWidget(CancelBitBtn);
    buttons->addStretch();
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 16, 8, 12);
    column->addLayout(fields);
    column->addStretch();
    column->addSpacing(12);
    column->addLayout(buttons);
    column->setSizeConstraint(QLayout::SetMinimumSize);
    resize(342, 163);

    connect(OKBitBtn, &QPushButton::clicked, this, &TNewDBForm::OKBitBtnClick);
    connect(CancelBitBtn, &QPushButton::clicked, this, &QDialog::reject);

    onEveryShowing(this, [this] { FormShow(); });
    FormCreate();
}

void TNewDBForm::FormCreate()
{
    TranslateAndRefont(this);
}

void TNewDBForm::FormShow()
{
    if (m_keepEntries) {
        m_keepEntries = false;
        NameEdit->setFocus();
        NameEdit->selectAll();
        return;
    }
    NameEdit->clear();
    FullNameEdit->clear();
    CheckBox->setChecked(true);
    NameEdit->setFocus();
}

void TNewDBForm::OKBitBtnClick()
{
    const QString name = NameEdit->text();
    if (name.isEmpty())
        return;
    if (!isValidDatabaseName(name)) {
        Dialogs::message(Dialogs::Icon::Error, Msg(138), u"Not valid DB name"_s);
        if (isVisible())
            NameEdit->setFocus();
        return;
    }
    // The dialog stays open with what was typed, for the description to be corrected.
    if (const QString problem = descriptionProblem(FullNameEdit->text()); !problem.isEmpty()) {
        Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s, problem);
        if (isVisible())
            FullNameEdit->setFocus();
        return;
    }
    accept();
}
