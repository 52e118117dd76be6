#include "Newdb.h"

#include "DbNames.h"
#include "shell/Dialogs.h"
#include "shell/FormUtil.h"
#include "shell/Messages.h"
#include "shell/Translate.h"

#include <QCheckBox>
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
    setFixedSize(342, 163);
    setFormPosition(this, FormPosition::ScreenCenter);

    NameLabel = new QLabel(u"@181"_s, this);
    NameLabel->setObjectName(u"NameLabel"_s);
    NameLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    NameLabel->setGeometry(8, 20, 128, 21);

    NameEdit = new QLineEdit(this);
    NameEdit->setObjectName(u"NameEdit"_s);
    NameEdit->setValidator(new DbNameLengthValidator(NameEdit));
    NameEdit->setGeometry(144, 20, 89, 21);
    NameLabel->setBuddy(NameEdit);

    FullNameLabel = new QLabel(u"@461"_s, this);
    FullNameLabel->setObjectName(u"FullNameLabel"_s);
    FullNameLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FullNameLabel->setGeometry(8, 52, 128, 21);

    FullNameEdit = new QLineEdit(this);
    FullNameEdit->setObjectName(u"FullNameEdit"_s);
    FullNameEdit->setGeometry(144, 52, 190, 21);
    FullNameLabel->setBuddy(FullNameEdit);

    CheckBox = new QCheckBox(u"@484"_s, this);
    CheckBox->setObjectName(u"CheckBox"_s);
    CheckBox->setChecked(true);
    CheckBox->setGeometry(144, 84, 190, 17);

    OKBitBtn = makeButton(this, u"OKBitBtn"_s, u"@485"_s, true);
    OKBitBtn->setDefault(true);
    OKBitBtn->setGeometry(84, 124, 85, 27);

    CancelBitBtn = makeButton(this, u"CancelBitBtn"_s, u"@92"_s, true);
    CancelBitBtn->setGeometry(177, 124, 85, 27);

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
    if (isValidDatabaseName(name)) {
        accept();
        return;
    }
    Dialogs::message(Dialogs::Icon::Error, Msg(138), u"Not valid DB name"_s);
    if (isVisible())
        NameEdit->setFocus();
}
