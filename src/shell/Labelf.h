#pragma once

#include <QString>
#include <QWidget>

class QLabel;

// The splash window. Its creation reads the local settings and the message catalogue, which
// every other window needs, so it comes first.
class TLabelForm : public QWidget
{
    Q_OBJECT
public:
    explicit TLabelForm(QWidget *parent = nullptr);

    void FormCreate();
    // False when the message file could not be read; messageError() then names path and reason.
    bool messagesLoaded() const { return m_messagesLoaded; }
    QString messageError() const { return m_messageError; }
    // Names path and reason when the settings file exists but could not be read (a missing
    // one is no error: every key has a default).
    QString settingsError() const { return m_settingsError; }

    // Shadow margins of the layered window.
    static constexpr int ShadowMargin = 20;

    QLabel *TitleLabel = nullptr;
    QLabel *SubtitleLabel = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void FormShow();

    bool m_messagesLoaded = false;
    bool m_translated = false;
    bool m_shadow = false;
    QString m_messageError;
    QString m_settingsError;
};
