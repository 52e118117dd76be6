#pragma once

#include <QDialog>
#include <QPixmap>

class QLabel;
class QLineEdit;
class QPushButton;

// Entry of one MFN (the record to unlock).
class TMFNForm : public QDialog
{
    Q_OBJECT
public:
    explicit TMFNForm(QWidget *parent = nullptr);

    void FormCreate();
    void FormShow();
    // Closes with OK only with text, and only with a number the server can be sent.
    void OKBitBtnClick();
    // The typed MFN, or -1 when the text is not a number within the 32-bit signed range.
    qint32 typedMfn() const;
    static QString mfnOutOfRangeText(const QString &typed);
    // Only digits and Backspace may be typed into MFNEdit.
    static bool MFNEditKeyPress(QChar key);

    // The check-mark glyph of OKBitBtn; the locked-records picker draws it in its mark column.
    QPixmap okGlyph() const { return m_okGlyph; }
    // The picture itself, enabled or greyed.
    static QPixmap checkMarkPixmap(bool enabled = true);

    QLabel *MFNLabel;
    QLineEdit *MFNEdit;
    QPushButton *OKBitBtn;
    QPushButton *CancelBitBtn;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPixmap m_okGlyph;
};
