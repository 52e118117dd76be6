#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;
class QProgressBar;
class QToolButton;

// The find line above a grid: typing narrows the grid's rows; Esc clears and closes it.
class GridFilterLine : public QFrame
{
    Q_OBJECT
public:
    explicit GridFilterLine(QWidget *parent = nullptr);

    QLineEdit *edit() const { return m_edit; }
    QString text() const;
    // "shown of total" beside the line.
    void setCounts(int shown, int total);

Q_SIGNALS:
    void textChanged(const QString &text);
    // Esc or the close button: the grid clears the filter and hides the line.
    void closeRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_label;
    QLineEdit *m_edit;
    QLabel *m_counts;
    QToolButton *m_close;
};

// The status line under a grid while long work on its rows runs (an export, a search through
// very many rows): what runs, how far it is, and that Esc stops it.
class GridProgressLine : public QFrame
{
    Q_OBJECT
public:
    explicit GridProgressLine(QWidget *parent = nullptr);
    void setCaption(const QString &caption);
    void setPercent(int percent);
    int percent() const;
    QString caption() const;

private:
    QLabel *m_label;
    QProgressBar *m_bar;
};
