#include "clients.h"

#include "shell/FormUtil.h"
#include "shell/StringGrid.h"
#include "shell/Translate.h"

#include <QAction>
#include <QBoxLayout>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

using namespace Qt::Literals::StringLiterals;

namespace {

// A small triangle pointing up: the list is sorted ascending by the column under it.
QPixmap sortMarkerPixmap()
{
    QPixmap pixmap(13, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(64, 64, 64));
    painter.setBrush(QColor(0, 0, 128));
    const QPointF triangle[] = { { 6.5, 2.0 }, { 11.5, 10.0 }, { 1.5, 10.0 } };
    painter.drawPolygon(triangle, 3);
    return pixmap;
}

QAction *addItem(QMenu *menu, const QString &text, const QString &name)
{
    QAction *item = menu->addAction(text);
    item->setObjectName(name);
    return item;
}

} // namespace

TFormCLient::TFormCLient(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"FormCLient"_s);
    setProperty("helpContext", 7300);
    // The caption of the menu item that opens the window.
    setWindowTitle(u"@1356"_s);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setMinimumSize(520, 230);
    resize(522, 234);
    setFormPosition(this, FormPosition::ScreenCenter);

    StringGridCLients = new TStringGrid(this);
    StringGridCLients->setObjectName(u"StringGridCLients"_s);
    StringGridCLients->setToolTip(u"Дополнительные функции под правой кнопкой мыши"_s);
    StringGridCLients->setRowSelect(true);
    StringGridCLients->setColSizing(true);

    PopupMenuClient = new QMenu(this);
    PopupMenuClient->setObjectName(u"PopupMenuClient"_s);
    Refresh = addItem(PopupMenuClient, u"@1362"_s, u"Refresh"_s);
    Refresh->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    N2 = PopupMenuClient->addSeparator();
    N2->setObjectName(u"N2"_s);
    ProcStop = addItem(PopupMenuClient, u"@1363"_s, u"ProcStop"_s);
    ProcStop->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    CEdit = addItem(PopupMenuClient, u"Редактировать  клиента"_s, u"CEdit"_s);
    CEdit->setShortcuts({ QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter) });
    N1 = addItem(PopupMenuClient, u"@1364"_s, u"N1"_s);
    N1->setShortcut(Qt::Key_Delete);
    N3 = PopupMenuClient->addSeparator();
    N3->setObjectName(u"N3"_s);
    N3->setVisible(false);
    Save = addItem(PopupMenuClient, u"@256"_s, u"Save"_s);
    Save->setVisible(false);
    // Shortcuts work only on actions of a visible widget; the popup is hidden most of the time.
    addActions({ Refresh, ProcStop, CEdit, N1 });
    StringGridCLients->setPopupMenu(PopupMenuClient);

    LabelComments = new QLabel(u"@1360"_s, this);
    LabelComments->setObjectName(u"LabelComments"_s);
    LabelComments->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ButtonOK = makeButton(this, u"ButtonOK"_s, u"@256"_s);
    ButtonOK->setEnabled(false);
    ButtonCancel = makeButton(this, u"ButtonCancel"_s, u"@90"_s);
    // Escape runs the button's own handler, which may ask to save first.
    ButtonCancel->setShortcut(Qt::Key_Escape);
    Panel1 = makeBottomPanel(this, u"Panel1"_s, {LabelComments, ButtonOK, ButtonCancel});
    stackVertically(this, {StringGridCLients, Panel1}, StringGridCLients);

    PanelImage = makePanel(StringGridCLients, u"PanelImage"_s);
    PanelImage->setFixedSize(15, 14);
    // Presses on the titles under the marker still reach the grid.
    PanelImage->setAttribute(Qt::WA_TransparentForMouseEvents);
    Image1 = new QLabel(PanelImage);
    Image1->setObjectName(u"Image1"_s);
    Image1->setPixmap(sortMarkerPixmap());
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setGeometry(0, 0, 15, 14);
    PanelImage->hide();

    QHeaderView *header = StringGridCLients->horizontalHeader();
    connect(header, &QHeaderView::sectionResized, this, &TFormCLient::PlaceSortMarker);
    connect(header, &QHeaderView::geometriesChanged, this, &TFormCLient::PlaceSortMarker);
    connect(StringGridCLients->horizontalScrollBar(), &QScrollBar::valueChanged, this,
        &TFormCLient::PlaceSortMarker);
    StringGridCLients->viewport()->installEventFilter(this);

    connect(ButtonCancel, &QPushButton::clicked, this, &TFormCLient::ButtonCancelClick);

    FormCreate();
}

TFormCLient::~TFormCLient()
{
    // The grid's header and scroll bar still signal while the children are torn down.
    StringGridCLients->horizontalHeader()->disconnect(this);
    StringGridCLients->horizontalScrollBar()->disconnect(this);
    StringGridCLients->viewport()->removeEventFilter(this);
}

void TFormCLient::FormCreate()
{
    TranslateAndRefont(this);

    static const QStringList titles{ u"№"_s, u"Имя"_s, u"Пароль"_s, u"Ini АРМа Каталогизатор"_s,
        u"Ini АРМа Читатель"_s, u"Ini АРМа Книговыдача"_s, u"Ini АРМа Комплектатор"_s,
        u"Ini АРМа Книгообеспеченность"_s, u"Ini АРМа Администратор"_s };
    static const int widths[] = { 20, 100, 100, 150, 150, 150, 150, 180, 150 };
    StringGridCLients->setColCount(9);
    StringGridCLients->setRowCount(2);
    for (int c = 0; c < 9; ++c) {
        StringGridCLients->setCell(c, 0, titles.at(c));
        StringGridCLients->setColWidth(c, widths[c]);
    }
    ClientSortColumn = 1;
    PlaceSortMarker();
}

void TFormCLient::PlaceSortMarker()
{
    // The marker sits at the right end of the sort column's title while that end is in view.
    QHeaderView *header = StringGridCLients->horizontalHeader();
    const int first = header->logicalIndexAt(0);
    const int c = ClientSortColumn;
    bool visible = first >= 0 && c >= first && c < StringGridCLients->colCount();
    const int w = PanelImage->width();
    int right = 0;
    if (visible) {
        right = header->sectionViewportPosition(c) + header->sectionSize(c);
        visible = right - w >= 0 && right <= header->width();
    }
    if (!visible) {
        PanelImage->hide();
        return;
    }
    const QPoint origin = header->mapTo(StringGridCLients, QPoint(0, 0));
    PanelImage->move(origin.x() + right - w - 2, origin.y() + (header->height() - PanelImage->height()) / 2);
    PanelImage->show();
    PanelImage->raise();
}

void TFormCLient::ButtonCancelClick()
{
    close();
}

bool TFormCLient::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == StringGridCLients->viewport() && event->type() == QEvent::Resize)
        PlaceSortMarker();
    return QDialog::eventFilter(watched, event);
}
