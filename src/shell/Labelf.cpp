#include "Labelf.h"

#include "FormUtil.h"
#include "Globals.h"
#include "Messages.h"
#include "Translate.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {

// Per-pixel alpha needs a compositor; on plain X11 and the offscreen platform the margins would
// come out black, so the window is drawn opaque there.
bool translucencySupported()
{
    const QString platform = QGuiApplication::platformName();
    if (qEnvironmentVariableIsSet("TULVA_SPLASH_SHADOW"))
        return true;
    return platform != u"offscreen" && platform != u"minimal" && platform != u"xcb";
}

} // namespace

TLabelForm::TLabelForm(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(u"LabelForm"_s);
    setFixedSize(420 + 2 * ShadowMargin, 200 + 2 * ShadowMargin);
    setFormPosition(this, FormPosition::ScreenCenter);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(ShadowMargin + 16, ShadowMargin + 16, ShadowMargin + 16, ShadowMargin + 16);
    TitleLabel = new QLabel(u"ТУЛВА64"_s, this);
    TitleLabel->setObjectName(u"TitleLabel"_s);
    TitleLabel->setAlignment(Qt::AlignCenter);
    QFont big(u"Arial"_s, 30, QFont::Bold);
    TitleLabel->setFont(big);
    TitleLabel->setStyleSheet(u"color: rgb(128, 0, 0);"_s);
    SubtitleLabel = new QLabel(u"@388"_s, this);
    SubtitleLabel->setObjectName(u"SubtitleLabel"_s);
    SubtitleLabel->setAlignment(Qt::AlignCenter);
    SubtitleLabel->setWordWrap(true);
    SubtitleLabel->setFont(QFont(u"Arial"_s, 12));
    layout->addStretch();
    layout->addWidget(TitleLabel);
    layout->addWidget(SubtitleLabel);
    layout->addStretch();

    onEveryShowing(this, [this] { FormShow(); });
    FormCreate();
}

void TLabelForm::FormCreate()
{
    LocalIni.loadFile(currentDirFile(LocalIniFileName), &m_settingsError);
    MessageList.clear();
    MessageFileName = LocalIni.readString(LocalIniSection, u"TulvaMsg"_s, u"TULVAMSG.TXT"_s);
    m_messagesLoaded = Messages::loadFile(currentDirFile(MessageFileName), &MessageList, &m_messageError);
    FontName = LocalIni.readString(LocalIniSection, u"FontName"_s, u"Arial"_s);
    FontCharset = static_cast<quint8>(LocalIni.readInteger(LocalIniSection, u"FontCharSet"_s, 204) & 0xFF);
}

void TLabelForm::FormShow()
{
    if (m_translated)
        return;
    m_translated = true;
    TranslateAndRefont(this);
    m_shadow = translucencySupported();
    setAttribute(Qt::WA_TranslucentBackground, m_shadow);
}

void TLabelForm::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(rect()).adjusted(ShadowMargin, ShadowMargin, -ShadowMargin, -ShadowMargin);
    if (m_shadow) {
        // Soft shadow: nested rounded outlines fading out towards the margin's edge.
        for (int i = ShadowMargin; i > 0; --i) {
            const double alpha = 60.0 * (1.0 - double(i) / ShadowMargin) * (1.0 - double(i) / ShadowMargin);
            QPainterPath path;
            path.addRoundedRect(body.adjusted(-i, -i, i, i).translated(2, 3), 8 + i, 8 + i);
            p.fillPath(path, QColor(0, 0, 0, int(alpha)));
        }
    } else {
        p.fillRect(rect(), QColor(96, 96, 96));
    }
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, QColor(255, 253, 240));
    fill.setColorAt(1, QColor(235, 234, 214));
    QPainterPath bodyPath;
    bodyPath.addRoundedRect(body, 8, 8);
    p.fillPath(bodyPath, fill);
    p.setPen(QPen(QColor(128, 128, 128), 1));
    p.drawPath(bodyPath);
}
