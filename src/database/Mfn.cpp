#include "Mfn.h"

#include "LockRules.h"
#include "shell/Dialogs.h"
#include "shell/FormUtil.h"
#include "shell/Translate.h"

#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>

using namespace Qt::Literals::StringLiterals;

TMFNForm::TMFNForm(QWidget *parent)
    : QDialog(parent)
    , m_okGlyph(checkMarkPixmap(true))
{
    setObjectName(u"MFNForm"_s);
    setWindowTitle(u"@425"_s);
    setProperty("helpContext", 2800);
    setFixedSize(288, 112);
    setFormPosition(this, FormPosition::ScreenCenter);

    MFNLabel = new QLabel(u"MFN"_s, this);
    MFNLabel->setObjectName(u"MFNLabel"_s);
    QFont bold = MFNLabel->font();
    bold.setBold(true);
    MFNLabel->setFont(bold);
    MFNLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    MFNLabel->setGeometry(16, 24, 64, 21);

    MFNEdit = new QLineEdit(this);
    MFNEdit->setObjectName(u"MFNEdit"_s);
    MFNEdit->setGeometry(88, 24, 177, 21);
    MFNEdit->installEventFilter(this);
    // The key filter sees typed keys only; pasted text is held to the same rule.
    MFNEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(u"[0-9]*"_s), MFNEdit));
    MFNLabel->setBuddy(MFNEdit);

    OKBitBtn = makeButton(this, u"OKBitBtn"_s, u"@47"_s, true);
    QIcon glyph;
    glyph.addPixmap(m_okGlyph, QIcon::Normal);
    glyph.addPixmap(checkMarkPixmap(false), QIcon::Disabled);
    OKBitBtn->setIcon(glyph);
    OKBitBtn->setDefault(true);
    OKBitBtn->setGeometry(56, 68, 85, 27);

    CancelBitBtn = makeButton(this, u"CancelBitBtn"_s, u"@92"_s, true);
    CancelBitBtn->setGeometry(148, 68, 85, 27);

    connect(OKBitBtn, &QPushButton::clicked, this, &TMFNForm::OKBitBtnClick);
    connect(CancelBitBtn, &QPushButton::clicked, this, &QDialog::reject);

    onEveryShowing(this, [this] { FormShow(); });
    FormCreate();
}

void TMFNForm::FormCreate()
{
    TranslateAndRefont(this);
}

void TMFNForm::FormShow()
{
    MFNEdit->clear();
    MFNEdit->setFocus();
}

void TMFNForm::OKBitBtnClick()
{
    const QString text = MFNEdit->text();
    if (text.isEmpty())
        return;
    qint32 mfn = 0;
    if (parseTypedMfn(text, &mfn)) {
        accept();
        return;
    }
    // Sent as it would convert, the number would name record 0, which nobody asked for.
    Dialogs::message(Dialogs::Icon::Warning, u"Внимание!"_s, mfnOutOfRangeText(text));
    if (isVisible()) {
        MFNEdit->setFocus();
        MFNEdit->selectAll();
    }
}

qint32 TMFNForm::typedMfn() const
{
    qint32 mfn = 0;
    return parseTypedMfn(MFNEdit->text(), &mfn) ? mfn : -1;
}

QString TMFNForm::mfnOutOfRangeText(const QString &typed)
{
    return u"Номер записи (MFN) "_s + typed
        + u" вне допустимого диапазона. Наибольший возможный номер — 2147483647."_s;
}

bool TMFNForm::MFNEditKeyPress(QChar key)
{
    return (key >= u'0' && key <= u'9') || key == QChar(8);
}

bool TMFNForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == MFNEdit && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        // Keys without a printable character (arrows, Delete) and shortcuts such as Ctrl+V are no
        // typed characters; what a shortcut pastes is held to the rule by the validator.
        const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (!shortcut && text.size() == 1 && text.front().isPrint() && !MFNEditKeyPress(text.front()))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

QPixmap TMFNForm::checkMarkPixmap(bool enabled)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(
        enabled ? QColor(0, 128, 0) : QColor(128, 128, 128), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    const QPointF tick[] = { { 3.0, 8.5 }, { 6.5, 12.0 }, { 13.0, 4.0 } };
    painter.drawPolyline(tick, 3);
    return pixmap;
}
