#include "editor/PageKit.h"

#include "editor/Looks.h"
#include "editor/QtText.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace kw::pagekit {

namespace {
// What a value label needs beside its text: its frame and room at the sides.
constexpr int kValueFrameWidth = 2 * looks::ValueLabel::kMarginX;
constexpr int kValueFrameHeight = 2 * looks::ValueLabel::kMarginY;
} // namespace

QSlider* verticalBar(const QString& name, int min, int max, QWidget* parent)
{
    auto* bar = new looks::Bar(Qt::Vertical, parent);
    bar->setObjectName(name);
    bar->setRange(min, max);
    bar->setInvertedAppearance(true);
    // Keys move the bar the way it looks: Up/PageUp toward the top (minimum).
    bar->setInvertedControls(true);
    bar->setTickInterval(1);
    bar->setTickPosition(QSlider::NoTicks);
    bar->setPageStep(std::max(1, (max - min) / 16));
    bar->setMinimumHeight(72);
    return bar;
}

Column column(const QString& name, const QString& caption, int min, int max, int width, QWidget* parent,
              const QString& hint)
{
    Column c;
    c.widget = new QWidget(parent);
    auto* lay = new QVBoxLayout(c.widget);
    lay->setContentsMargins(1, 0, 1, 0);
    lay->setSpacing(2);
    c.caption = new QLabel(caption, c.widget);
    c.caption->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    c.caption->setWordWrap(true);
    QFont small = c.caption->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    c.caption->setFont(small);
    // `width` is the look at the usual font; a larger one widens the column
    // to its caption's longest word rather than cut it.
    const QFontMetrics fm(small);
    for (const QString& word : caption.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        width = std::max(width, fm.horizontalAdvance(word) + 4);
    c.widget->setFixedWidth(width);
    c.caption->setFixedWidth(width - 2);
    c.caption->setFixedHeight(captionHeight(c.caption));
    c.bar = verticalBar(name, min, max, c.widget);
    if (!hint.isEmpty())
        c.bar->setToolTip(hint);
    c.value = new looks::ValueLabel(c.widget);
    c.value->setObjectName("Label_" + name);
    c.value->setAlignment(Qt::AlignHCenter);
    c.value->setMinimumWidth(c.value->fontMetrics().horizontalAdvance(QStringLiteral("-000")));
    lay->addWidget(c.caption);
    lay->addWidget(c.bar, 1, Qt::AlignHCenter);
    lay->addWidget(c.value, 0, Qt::AlignHCenter);
    return c;
}

QLabel* levelCaption(const QString& text)
{
    auto* l = new QLabel(text);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    l->setWordWrap(true);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 0.75);
    f.setBold(true);
    l->setFont(f);
    // Two short words stack instead of widening the column.
    const QFontMetrics fm(f);
    int widest = fm.horizontalAdvance(QStringLiteral("8888"));
    for (const QString& word : text.split(QLatin1Char(' ')))
        widest = std::max(widest, fm.horizontalAdvance(word));
    l->setMaximumWidth(widest + 4);
    l->setFixedHeight(captionHeight(l));
    return l;
}

QSlider* levelBar(const char* name, Qt::Orientation orientation, int min, int max)
{
    auto* s = new looks::Bar(orientation);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(min, max);
    s->setTickInterval(1);
    s->setPageStep(8);
    if (orientation == Qt::Vertical) {
        // Minimum at the top; up on the wheel or arrow keys moves the knob up.
        s->setInvertedAppearance(true);
        s->setInvertedControls(true);
    }
    return s;
}

QLabel* levelValueLabel(const char* control, int minChars)
{
    auto* l = new looks::ValueLabel;
    l->setObjectName(QStringLiteral("Label_") + QString::fromLatin1(control));
    l->setAlignment(Qt::AlignCenter);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 0.85);
    f.setBold(true);
    l->setFont(f);
    l->setMinimumWidth(QFontMetrics(f).horizontalAdvance(QString(minChars, QLatin1Char('8'))) + kValueFrameWidth);
    return l;
}

Column levelColumn(const FieldRow& row, const QString& caption, int length)
{
    Column c;
    c.widget = new QWidget;
    auto* v = new QVBoxLayout(c.widget);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    c.caption = levelCaption(caption);
    v->addWidget(c.caption);
    c.bar = levelBar(row.control, Qt::Vertical, row.min, row.max);
    c.bar->setMinimumHeight(length);
    c.value = levelValueLabel(row.control, 3);
    v->addWidget(c.bar, 1, Qt::AlignHCenter);
    v->addWidget(c.value, 0, Qt::AlignHCenter);
    c.widget->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    return c;
}

void fixValueLabel(QLabel* label, const std::vector<std::string>& texts)
{
    const QFontMetrics fm(label->font());
    int widest = label->minimumWidth() - kValueFrameWidth;
    for (const std::string& t : texts)
        widest = std::max(widest, fm.horizontalAdvance(qs(t)));
    label->setFixedSize(widest + kValueFrameWidth, fm.height() + kValueFrameHeight);
}

std::vector<std::string> labelTexts(const FieldRow& row, int min, int max)
{
    // The rules are monotonic in their digits: the widest texts stand at the
    // ends of the range, with the centre's own words ("CTR", "±0") between.
    std::vector<int> positions;
    for (int p = min; p <= max; ++p)
        if (max - min <= 40 || p - min <= 12 || max - p <= 12 || p == 0 || p == 64 || std::abs(p - (min + max) / 2) <= 2)
            positions.push_back(p);
    std::vector<std::string> texts;
    const std::string separator = decimalSeparator();
    for (int p : positions)
        texts.push_back(row.labelText(p, separator));
    return texts;
}

int captionHeight(const QLabel* caption)
{
    if (!caption->wordWrap())
        return caption->sizeHint().height();
    const int width = caption->maximumWidth() < QWIDGETSIZE_MAX ? caption->maximumWidth() : caption->sizeHint().width();
    return caption->heightForWidth(width);
}

void equalHeights(const std::vector<QLabel*>& captions)
{
    int tallest = 0;
    for (const QLabel* c : captions)
        tallest = std::max(tallest, captionHeight(c));
    for (QLabel* c : captions)
        c->setFixedHeight(tallest);
}

QPushButton* button(const char* name, const char* text, const char* hint, QWidget* parent)
{
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(QString::fromUtf8(hint));
    b->setAutoDefault(false);
    return b;
}

QGroupBox* group(const char* name, const QString& title)
{
    auto* g = new QGroupBox(title);
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

QGridLayout* pageGrid(QWidget* page)
{
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setSpacing(6);
    return grid;
}

const FieldRow& row(const char* control)
{
    const FieldRow* r = findField(control);
    if (!r)
        throw std::logic_error(std::string("no field row for ") + control);
    return *r;
}

namespace {

// Tells the user's picks from entries that only became current: a press on
// an entry and its release is a pick, and so is every move a key makes.
class ChoiceWatcher : public QObject {
public:
    ChoiceWatcher(QListWidget* list, std::function<void(int)> handler)
        : QObject(list), list_(list), viewport_(list->viewport()), handler_(std::move(handler))
    {
        list->installEventFilter(this);
        viewport_->installEventFilter(this);
        connect(list, &QListWidget::currentRowChanged, this, [this](int r) {
            if (byKey_ && r >= 0)
                handler_(r);
        });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        // Only the events it acts on are looked at: a list going away still
        // sends its viewport others.
        switch (e->type()) {
        case QEvent::KeyPress: return watched == list_ && keyPressed(static_cast<QKeyEvent*>(e));
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            if (watched == viewport_)
                mouse(static_cast<QMouseEvent*>(e));
            return false;
        default: return false;
        }
    }

private:
    bool keyPressed(QKeyEvent* e)
    {
        if (byKey_)
            return false;
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            if (list_->currentRow() >= 0 && !list_->signalsBlocked())
                handler_(list_->currentRow());
            return false;
        }
        // The list takes the key here, with the flag up exactly while the
        // key moves it; the key is then done with.
        const QScopedValueRollback<bool> keying(byKey_, true);
        QCoreApplication::sendEvent(list_, e);
        e->accept();
        return true;
    }

    void mouse(QMouseEvent* m)
    {
        if (m->button() != Qt::LeftButton)
            return;
        if (m->type() == QEvent::MouseButtonPress) {
            pressed_ = list_->indexAt(m->position().toPoint()).isValid();
        } else if (pressed_) {
            // The press made its entry current (a drag, the last one
            // passed over); the release picks it.
            pressed_ = false;
            if (list_->currentRow() >= 0 && !list_->signalsBlocked())
                handler_(list_->currentRow());
        }
    }

    QListWidget* list_;
    QObject* viewport_;
    std::function<void(int)> handler_;
    bool byKey_ = false;
    bool pressed_ = false;
};

} // namespace

void onChoice(QListWidget* list, std::function<void(int)> handler)
{
    new ChoiceWatcher(list, std::move(handler));
}

void selectAtTop(QListWidget* list, int index)
{
    const QSignalBlocker block(list);
    if (index < 0 || index >= list->count()) {
        list->setCurrentRow(-1);
        list->clearSelection();
        return;
    }
    list->setCurrentRow(index);
    // Scrolling lays the list out again; a list that already shows the entry
    // at the top (a layer switch between layers on the same voice) is left be.
    const QScrollBar* scroll = list->verticalScrollBar();
    if (list->isVisible() && list->verticalScrollMode() == QAbstractItemView::ScrollPerItem &&
        scroll->value() == index)
        return;
    list->scrollToItem(list->item(index), QAbstractItemView::PositionAtTop);
}

QListWidget* listBox(const QString& name, const char* const* items, int count, QWidget* parent, const QString& hint)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    for (int i = 0; i < count; ++i)
        list->addItem(QString::fromUtf8(items[i]));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
    if (!hint.isEmpty())
        list->setToolTip(hint);
    return list;
}

std::string decimalSeparator()
{
    return QLocale().decimalPoint().toStdString();
}

} // namespace kw::pagekit
