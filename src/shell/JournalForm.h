#pragma once

#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class RequestJournal;
class TStringGrid;

// "Журнал запросов": every request of this run, newest last, failed ones in red.
class TJournalForm : public QDialog
{
    Q_OBJECT
public:
    explicit TJournalForm(RequestJournal *journal, QWidget *parent = nullptr);

    RequestJournal *journal() const { return m_journal; }
    void ErrorsOnlyCheckClick();

    QFrame *PanelTop;
    QCheckBox *ErrorsOnlyCheck;
    QLabel *CountLabel;
    TStringGrid *JournalGrid;
    QFrame *Panel1;
    QPushButton *ExportButton;
    QPushButton *ButtonCancel;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showCounts();
    void followNewest(int first);

    RequestJournal *m_journal;
};
